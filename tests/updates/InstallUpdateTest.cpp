// SPDX-License-Identifier: MIT
#include "InstallUpdate.h"

#include "TestSigningKey.h"
#include "UpdatePackages.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class RootInstaller : public testing::Test {
protected:
    UpdatePackages packages;
};

TEST_F(RootInstaller, InstallsASignedNewerPackageFromItsOwnCopyAndLeavesNothingBehind) {
    const QString package = packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"));
    const InstallUpdate::Result result =
        InstallUpdate::run(packages.setup(), package, packages.sign(package));
    ASSERT_EQ(result.status, InstallStatus::installed) << result.message.toStdString();
    EXPECT_EQ(packages.installedBytes(), UpdatePackages::read(package));
    const QString arguments =
        QString::fromUtf8(UpdatePackages::read(packages.tool("apt-get.arguments")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^install\n--yes\n--no-install-recommends\n-o\n"
                                                  "Dpkg::Options::=--force-confold\n") +
                                   QRegularExpression::escape(packages.cacheFolder()) +
                                   QStringLiteral("/update-[0-9a-f]{16}\\.deb\n$"))
                    .match(arguments)
                    .hasMatch())
        << arguments.toStdString();
    EXPECT_TRUE(packages.cacheEntries().isEmpty());
    struct stat folder {};
    ASSERT_EQ(::stat(QFile::encodeName(packages.cacheFolder()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
}

TEST_F(RootInstaller, RefusesWhatIsNotASignedNewerPackageOfItsOwn) {
    const TestSigningKey otherKey;
    const QString update = packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"));
    const QString fifo = packages.folder.filePath(QStringLiteral("fifo.deb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = packages.folder.filePath(QStringLiteral("link.deb"));
    QFile::link(update, link);
    struct Case {
        const char* name;
        QString package;
        QByteArray signature;
        InstallStatus status;
        QString message;
        std::function<void(InstallUpdate::Setup&)> prepare = nullptr;
    };
    const auto signedPackage = [&](const char* name, const char* version) {
        const QString path = packages.build(QString::fromUtf8(name), QString::fromUtf8(version));
        return std::pair{path, packages.sign(path)};
    };
    const auto [other, otherSignature] = signedPackage("libc6", "9.0");
    const auto [same, sameSignature] = signedPackage("veltrane", "1.4.1");
    const auto [older, olderSignature] = signedPackage("veltrane", "1.4.1~rc1");
    const QString notAPackage = packages.folder.filePath(QStringLiteral("notes.deb"));
    UpdatePackages::write(notAPackage, "not a package");
    for (const Case& c : std::initializer_list<Case>{
             {"signed with another key", update, otherKey.sign(UpdatePackages::read(update)),
              InstallStatus::badSignature, QStringLiteral("does not match its signature")},
             {"signature of other bytes", update, packages.key.sign("veltrane"),
              InstallStatus::badSignature, QStringLiteral("does not match its signature")},
             {"another package", other, otherSignature, InstallStatus::otherPackage,
              QStringLiteral("the package is libc6, not veltrane")},
             {"the installed version", same, sameSignature, InstallStatus::notNewer,
              QStringLiteral("version 1.4.1 is not newer than the installed 1.4.1")},
             {"an older version", older, olderSignature, InstallStatus::notNewer,
              QStringLiteral("1.4.1~rc1 is not newer")},
             {"signed, but no package", notAPackage, packages.sign(notAPackage),
              InstallStatus::toolFailed, QStringLiteral("no Debian package")},
             {"a symbolic link to a good package", link, packages.sign(update),
              InstallStatus::unusablePackageFile, QStringLiteral("is a symbolic link")},
             {"a FIFO, which must not block", fifo, packages.sign(update),
              InstallStatus::unusablePackageFile, QStringLiteral("not a regular file")},
             {"a relative path", QStringLiteral("update.deb"), packages.sign(update),
              InstallStatus::usage, QStringLiteral("not an absolute path")},
             {"larger than the bound", update, packages.sign(update),
              InstallStatus::unusablePackageFile, QStringLiteral("larger than 0 MiB"),
              [](InstallUpdate::Setup& setup) { setup.maxPackageBytes = 1000; }},
             {"no package of its own installed", update, packages.sign(update),
              InstallStatus::notInstalled, QStringLiteral("veltrane is not installed"),
              [&](InstallUpdate::Setup&) { packages.setInstalled("config-files 1.4.1"); }},
             {"a cache folder that is a link", update, packages.sign(update),
              InstallStatus::cacheFolderUnusable, QStringLiteral("is not a folder"),
              [&](InstallUpdate::Setup& setup) {
                  setup.cacheFolder = packages.folder.filePath(QStringLiteral("linked"));
                  QFile::link(packages.folder.path(), setup.cacheFolder);
              }},
             {"a cache folder whose parent others may change", update, packages.sign(update),
              InstallStatus::cacheFolderUnusable, QStringLiteral("not a folder only this user"),
              [&](InstallUpdate::Setup& setup) {
                  const QString open = packages.folder.filePath(QStringLiteral("open"));
                  QDir().mkpath(open);
                  ::chmod(QFile::encodeName(open).constData(), 0777);
                  setup.cacheFolder = open + QStringLiteral("/updates");
              }},
             {"apt-get failing", update, packages.sign(update), InstallStatus::installFailed,
              QStringLiteral("the package tool failed (E: broken)"), [&](InstallUpdate::Setup&) {
                  UpdatePackages::write(packages.tool("apt-get.fails"), {});
              }}}) {
        SCOPED_TRACE(c.name);
        InstallUpdate::Setup setup = packages.setup();
        if (c.prepare) {
            c.prepare(setup);
        }
        const InstallUpdate::Result result = InstallUpdate::run(setup, c.package, c.signature);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(result.message.contains(c.message)) << result.message.toStdString();
        EXPECT_EQ(packages.installedBytes().isEmpty(), c.status != InstallStatus::installFailed);
        EXPECT_TRUE(packages.cacheEntries().isEmpty());
        packages.setInstalled("installed 1.4.1");
    }
}

TEST_F(RootInstaller, OnlyTheCopyItVerifiedReachesThePackageTool) {
    // Larger than one read, so that the file can change between two.
    const QString package =
        packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"), 200 * 1024);
    const QByteArray original = UpdatePackages::read(package);
    const QByteArray attack = UpdatePackages::read(
        packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"), 200 * 1024, 'x'));
    // In place: the same file, other contents.
    const auto overwrite = [&] {
        QFile file(package);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(attack);
    };
    // Another file in its place.
    const auto replace = [&] {
        const QString spare = packages.folder.filePath(QStringLiteral("spare.deb"));
        UpdatePackages::write(spare, attack);
        ASSERT_EQ(
            ::rename(QFile::encodeName(spare).constData(), QFile::encodeName(package).constData()),
            0);
    };
    struct Case {
        const char* name;
        InstallUpdate::Step when;
        std::function<void()> change;
        InstallStatus status;
    };
    for (const Case& c :
         std::initializer_list<Case>{{"replaced after it was opened", InstallUpdate::Step::opened,
                                      replace, InstallStatus::installed},
                                     {"rewritten while it is copied", InstallUpdate::Step::copying,
                                      overwrite, InstallStatus::badSignature},
                                     {"rewritten once it is copied", InstallUpdate::Step::copied,
                                      overwrite, InstallStatus::installed}}) {
        SCOPED_TRACE(c.name);
        UpdatePackages::write(package, original);
        UpdatePackages::write(packages.tool("installed.deb"), {});
        InstallUpdate::Setup setup = packages.setup();
        setup.onStep = [&](InstallUpdate::Step step) {
            if (step == c.when) {
                c.change();
            }
        };
        EXPECT_EQ(InstallUpdate::run(setup, package, packages.key.sign(original)).status, c.status);
        EXPECT_EQ(packages.installedBytes(),
                  c.status == InstallStatus::installed ? original : QByteArray());
        EXPECT_TRUE(packages.cacheEntries().isEmpty());
    }
}

} // namespace
