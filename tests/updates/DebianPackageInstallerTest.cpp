// SPDX-License-Identifier: MIT
#include "DebianPackageInstaller.h"

#include "UpdatePackages.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class DebianPackageInstall : public testing::Test {
protected:
    UpdatePackages packages;
    DebianPackageInstaller::Paths paths;

    DebianPackageInstall() {
        paths.program = QStringLiteral("/usr/bin/veltrane");
        paths.packageInfoDirectory = packages.folder.filePath(QStringLiteral("info"));
        paths.pkexec = packages.tool("pkexec");
        paths.installer = QStringLiteral("/usr/libexec/veltrane/install-update");
        QDir().mkpath(paths.packageInfoDirectory);
        // Waits for the test to answer the "dialog", then runs the installer
        // as it is, with the test's key, folder and tools.
        const QByteArray folder = QFile::encodeName(packages.folder.path());
        UpdatePackages::write(
            paths.pkexec,
            "#!/bin/sh\nd=" + folder +
                "\nprintf '%s\\n' \"$@\" > \"$d/pkexec.arguments\"\n: > \"$d/dialog-open\"\n"
                "i=0\nwhile [ ! -e \"$d/dialog-answered\" ] && [ $i -lt 600 ]; do\n"
                "  sleep 0.05; i=$((i + 1))\ndone\nrm -f \"$d/dialog-open\" "
                "\"$d/dialog-answered\"\n"
                "[ ! -e \"$d/dialog-denied\" ] || exit 126\nshift\nexec " INSTALL_UPDATE_SANDBOX
                " " +
                packages.key.publicKey() + " " + QFile::encodeName(packages.cacheFolder()) + " " +
                QFile::encodeName(packages.folder.filePath(QStringLiteral("tools"))) + " \"$@\"\n");
        QFile(paths.pkexec).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }

    // Installs through pkexec; `whileTheDialogWaits` runs before the dialog
    // is answered.
    std::optional<InstallFailure> install(const QString& package, const QByteArray& signature,
                                          const std::function<void()>& whileTheDialogWaits) {
        DebianPackageInstaller installer(paths);
        std::optional<std::optional<InstallFailure>> outcome;
        installer.install(package, signature,
                          [&](std::optional<InstallFailure> failure) { outcome = failure; });
        EXPECT_TRUE(
            waitUntil([&] { return QFile::exists(packages.folder.filePath("dialog-open")); }));
        whileTheDialogWaits();
        UpdatePackages::write(packages.folder.filePath(QStringLiteral("dialog-answered")), {});
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); }, 30s));
        return outcome.value_or(InstallFailure{false, QStringLiteral("no outcome")});
    }
};

TEST_F(DebianPackageInstall, InstallsOnlyForAProgramFromAPackage) {
    EXPECT_FALSE(DebianPackageInstaller(paths).installsPackages());
    UpdatePackages::write(paths.packageInfoDirectory + QStringLiteral("/veltrane:amd64.list"),
                          "/.\n/usr/bin\n/usr/bin/veltrane\n");
    EXPECT_TRUE(DebianPackageInstaller(paths).installsPackages());
}

TEST_F(DebianPackageInstall, TheRootInstallerDecidesOnTheFileAsItIsOnceTheDialogIsAnswered) {
    const QString package = packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"));
    const QByteArray signature = packages.sign(package);
    const QByteArray original = UpdatePackages::read(package);

    EXPECT_EQ(install(package, signature, [] {}), std::nullopt);
    EXPECT_EQ(packages.installedBytes(), original);
    EXPECT_EQ(UpdatePackages::read(packages.folder.filePath(QStringLiteral("pkexec.arguments"))),
              paths.installer.toUtf8() + "\n" + QFile::encodeName(package) + "\n" + signature +
                  "\n");

    // The user's own programs may write the downloaded file while root's
    // password is asked for.
    UpdatePackages::write(packages.tool("installed.deb"), {});
    const QString attack =
        packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"), 1000, 'x');
    const auto swap = [&] { UpdatePackages::write(package, UpdatePackages::read(attack)); };
    std::optional<InstallFailure> failure = install(package, signature, swap);
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->improperlySigned);
    EXPECT_EQ(failure->message, QStringLiteral("the package does not match its signature"));
    EXPECT_TRUE(packages.installedBytes().isEmpty());
    EXPECT_TRUE(packages.cacheEntries().isEmpty());

    // Even a package of ours, properly signed, once it is no longer newer.
    const QString older = packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.0"));
    failure = install(older, packages.sign(older), [] {});
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->improperlySigned);
    EXPECT_EQ(failure->message,
              QStringLiteral("version 1.4.0 is not newer than the installed 1.4.1"));

    failure = install(package, signature, [&] {
        UpdatePackages::write(packages.folder.filePath(QStringLiteral("dialog-denied")), {});
    });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->message, QStringLiteral("an administrator's permission was not given"));
    EXPECT_TRUE(packages.installedBytes().isEmpty());
}

} // namespace
