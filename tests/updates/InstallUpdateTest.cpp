// SPDX-License-Identifier: MIT
#include "InstallUpdate.h"

#include "UpdatePackages.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class RootInstaller : public testing::Test {
protected:
    UpdatePackages packages;
};

TEST_F(RootInstaller, InstallsOnlyTheCopyItVerifiedAndLeavesNothingBehind) {
    // Larger than one read, so that the file can change between two.
    const QString package =
        packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"), 200 * 1024);
    const QByteArray original = UpdatePackages::read(package);
    const QByteArray attack = UpdatePackages::read(
        packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"), 200 * 1024, 'x'));
    const QString spare = packages.folder.filePath(QStringLiteral("spare.deb"));
    struct Case {
        const char* name;
        InstallUpdate::Step when;
        std::function<void()> change;
        InstallStatus status;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"left alone", InstallUpdate::Step::opened, [] {}, InstallStatus::installed},
             {"another file in its place once opened", InstallUpdate::Step::opened,
              [&] {
                  UpdatePackages::write(spare, attack);
                  ::rename(QFile::encodeName(spare).constData(),
                           QFile::encodeName(package).constData());
              },
              InstallStatus::installed},
             {"rewritten while it is copied", InstallUpdate::Step::copying,
              [&] { UpdatePackages::write(package, attack); }, InstallStatus::badSignature},
             {"rewritten once it is copied", InstallUpdate::Step::copied,
              [&] { UpdatePackages::write(package, attack); }, InstallStatus::installed}}) {
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
        EXPECT_TRUE(packages.installedBytes() ==
                    (c.status == InstallStatus::installed ? original : QByteArray()));
        EXPECT_TRUE(packages.cacheIsEmpty());
    }
    EXPECT_TRUE(UpdatePackages::read(packages.tool("apt-get.arguments"))
                    .startsWith("install\n--yes\n--no-install-recommends\n-o\n"
                                "Dpkg::Options::=--force-confold\n" +
                                QFile::encodeName(packages.cacheFolder()) + "/update-"));
    struct stat folder {};
    ASSERT_EQ(::stat(QFile::encodeName(packages.cacheFolder()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
}

TEST_F(RootInstaller, RefusesWhatIsNotASignedNewerPackageOfItsOwn) {
    const QString update = packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"));
    const QString fifo = packages.folder.filePath(QStringLiteral("fifo.deb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = packages.folder.filePath(QStringLiteral("link.deb"));
    QFile::link(update, link);
    const QString notAPackage = packages.folder.filePath(QStringLiteral("notes.deb"));
    UpdatePackages::write(notAPackage, "not a package");
    const auto built = [&](const char* name, const char* version) {
        return packages.build(QString::fromUtf8(name), QString::fromUtf8(version));
    };
    struct Case {
        const char* name;
        QString package;
        InstallStatus status;
        QString message;
        std::function<void(InstallUpdate::Setup&)> prepare = nullptr;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"signed with another key", update, InstallStatus::badSignature,
              QStringLiteral("does not match its signature"),
              [](InstallUpdate::Setup& setup) { setup.publicKey = TestSigningKey().publicKey(); }},
             {"another package", built("libc6", "9.0"), InstallStatus::otherPackage,
              QStringLiteral("the package is libc6, not veltrane")},
             {"the installed version", built("veltrane", "1.4.1"), InstallStatus::notNewer,
              QStringLiteral("version 1.4.1 is not newer than the installed 1.4.1")},
             {"an older version", built("veltrane", "1.4.1~rc1"), InstallStatus::notNewer,
              QStringLiteral("1.4.1~rc1 is not newer")},
             {"signed, but no package", notAPackage, InstallStatus::toolFailed,
              QStringLiteral("no Debian package")},
             {"a link to a good package", link, InstallStatus::unusablePackageFile,
              QStringLiteral("is a symbolic link")},
             {"a FIFO, which must not block", fifo, InstallStatus::unusablePackageFile,
              QStringLiteral("not a regular file")},
             {"larger than the bound", update, InstallStatus::unusablePackageFile,
              QStringLiteral("is larger than"),
              [](InstallUpdate::Setup& setup) { setup.maxPackageBytes = 1000; }},
             {"no package of its own installed", update, InstallStatus::notInstalled,
              QStringLiteral("veltrane is not installed"),
              [&](InstallUpdate::Setup&) {
                  UpdatePackages::write(packages.tool("database"), "config-files 1.4.1");
              }},
             {"a cache folder that is a link", update, InstallStatus::cacheFolderUnusable,
              QStringLiteral("is not a folder"),
              [&](InstallUpdate::Setup& setup) {
                  setup.cacheFolder = packages.folder.filePath(QStringLiteral("linked"));
                  QFile::link(packages.folder.path(), setup.cacheFolder);
              }},
             {"a cache folder whose parent others may change", update,
              InstallStatus::cacheFolderUnusable, QStringLiteral("not a folder only this user"),
              [&](InstallUpdate::Setup& setup) {
                  QDir(packages.folder.path()).mkdir(QStringLiteral("open"));
                  QFile(packages.folder.filePath(QStringLiteral("open")))
                      .setPermissions(QFile::Permissions(0x7777));
                  setup.cacheFolder = packages.folder.filePath(QStringLiteral("open/updates"));
              }},
             {"apt-get failing", update, InstallStatus::installFailed,
              QStringLiteral("the package tool failed (E: broken)"), [&](InstallUpdate::Setup&) {
                  UpdatePackages::write(packages.tool("apt-get.fails"), {});
              }}}) {
        SCOPED_TRACE(c.name);
        InstallUpdate::Setup setup = packages.setup();
        if (c.prepare) {
            c.prepare(setup);
        }
        const QByteArray signature =
            packages.sign(c.package == link || c.package == fifo ? update : c.package);
        const InstallUpdate::Result result = InstallUpdate::run(setup, c.package, signature);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(result.message.contains(c.message)) << result.message.toStdString();
        EXPECT_EQ(packages.installedBytes().isEmpty(), c.status != InstallStatus::installFailed);
        EXPECT_TRUE(packages.cacheIsEmpty());
        UpdatePackages::write(packages.tool("database"), "installed 1.4.1");
    }
}

} // namespace
