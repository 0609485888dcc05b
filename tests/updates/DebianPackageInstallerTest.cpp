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
    DebianPackageInstaller::Paths paths{
        QStringLiteral("/usr/bin/veltrane"), packages.folder.filePath(QStringLiteral("info")),
        packages.tool("pkexec"), QStringLiteral("/usr/libexec/veltrane/install-update")};

    DebianPackageInstall() {
        QDir().mkpath(paths.packageInfoDirectory);
        // Waits for the test to answer the "dialog", then runs the installer
        // as it is, with the test's key, folder and tools.
        UpdatePackages::write(
            paths.pkexec,
            "#!/bin/sh\nd=" + QFile::encodeName(packages.folder.path()) +
                "\nprintf '%s\\n' \"$@\" > \"$d/pkexec.arguments\"\n: > \"$d/dialog-open\"\n"
                "i=0\nwhile [ ! -e \"$d/dialog-answered\" ] && [ $i -lt 600 ]; do\n"
                "  sleep 0.05; i=$((i + 1))\ndone\nrm -f \"$d/dialog-open\" "
                "\"$d/dialog-answered\"\n"
                "shift\n"
                "exec " INSTALL_UPDATE_SANDBOX " " +
                packages.key.publicKey() + " \"$d\" \"$@\"\n",
            true);
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

    EXPECT_FALSE(install(package, signature, [] {}));
    EXPECT_TRUE(packages.installedBytes() == original);
    EXPECT_EQ(UpdatePackages::read(packages.folder.filePath(QStringLiteral("pkexec.arguments"))),
              paths.installer.toUtf8() + "\n" + QFile::encodeName(package) + "\n" + signature +
                  "\n");

    // The user's own programs may write the downloaded file while root's
    // password is asked for.
    UpdatePackages::write(packages.tool("installed.deb"), {});
    const QString attack =
        packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.2"), 1000, 'x');
    std::optional<InstallFailure> failure = install(
        package, signature, [&] { UpdatePackages::write(package, UpdatePackages::read(attack)); });
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->improperlySigned);
    EXPECT_EQ(failure->message, QStringLiteral("the package does not match its signature"));
    EXPECT_TRUE(packages.installedBytes().isEmpty());
    EXPECT_TRUE(packages.cacheIsEmpty());

    // Even a package of ours, properly signed, once it is no longer newer.
    const QString older = packages.build(QStringLiteral("veltrane"), QStringLiteral("1.4.0"));
    failure = install(older, packages.sign(older), [] {});
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->improperlySigned);
    EXPECT_EQ(failure->message,
              QStringLiteral("version 1.4.0 is not newer than the installed 1.4.1"));
}

} // namespace
