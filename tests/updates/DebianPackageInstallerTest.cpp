// SPDX-License-Identifier: MIT
#include "DebianPackageInstaller.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& contents) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.setPermissions(file.permissions() | QFile::ExeOwner);
}

} // namespace

TEST(DebianPackageInstaller, InstallsThroughPkexecOnlyForAProgramFromAPackage) {
    QTemporaryDir folder;
    DebianPackageInstaller::Paths paths;
    paths.program = QStringLiteral("/usr/bin/veltrane");
    paths.packageInfoDirectory = folder.path();
    paths.pkexec = folder.filePath(QStringLiteral("pkexec"));
    EXPECT_FALSE(DebianPackageInstaller(paths).installsPackages());

    write(folder.filePath(QStringLiteral("veltrane:amd64.list")),
          "/.\n/usr/bin\n/usr/bin/veltrane\n");
    // Records its arguments and answers with the status the test chose.
    write(paths.pkexec, "#!/bin/sh\nd=$(dirname \"$0\")\nprintf '%s\\n' \"$@\" > "
                        "\"$d/arguments\"\necho 'E: broken'\n"
                        "exit $(cat \"$d/status\")\n");
    DebianPackageInstaller installer(paths);
    ASSERT_TRUE(installer.installsPackages());

    for (const auto& [status, error] :
         {std::pair{"0", QString()},
          std::pair{"126", QStringLiteral("an administrator's permission was not given")},
          std::pair{"100", QStringLiteral("the package tool failed (E: broken)")}}) {
        write(folder.filePath(QStringLiteral("status")), status);
        std::optional<std::optional<QString>> outcome;
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        installer.install(QStringLiteral("/var/cache/veltrane_1.4.2.deb"),
                          [&](std::optional<QString> result) {
                              outcome = result;
                              loop.quit();
                          });
        loop.exec();
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->value_or(QString()), error);
    }
    QFile arguments(folder.filePath(QStringLiteral("arguments")));
    ASSERT_TRUE(arguments.open(QIODevice::ReadOnly));
    EXPECT_EQ(arguments.readAll(),
              "/usr/bin/apt-get\ninstall\n--yes\n--no-install-recommends\n-o\n"
              "Dpkg::Options::=--force-confold\n/var/cache/veltrane_1.4.2.deb\n");
}
