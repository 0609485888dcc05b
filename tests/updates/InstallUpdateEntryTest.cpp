// SPDX-License-Identifier: MIT
#include "InstallStatus.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct Finished {
    int status;
    QString out;
    QString err;
};

Finished run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60'000)) {
        ADD_FAILURE() << "did not finish";
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

constexpr int status(InstallStatus installStatus) {
    return static_cast<int>(installStatus);
}

// The installed program, as pkexec runs it: its own checks before anything,
// then the fixed folder, made as only root may reach it whatever umask
// pkexec hands on.
TEST(InstallUpdateEntryTest, OnlyRootWithTwoArgumentsGetsAFolderNobodyElseMayRead) {
    const Finished usage = run(INSTALL_UPDATE, {QStringLiteral("only-one")});
    EXPECT_EQ(usage.status, status(InstallStatus::usage));
    EXPECT_EQ(usage.err, "usage: install-update PACKAGE SIGNATURE\n");
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the rest runs the installer as root and as another user";
    }
    QTemporaryDir folder;
    const QString package = folder.filePath(QStringLiteral("update.deb"));
    QFile file(package);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a package");
    file.close();

    const Finished user = run(QStringLiteral("/usr/bin/setpriv"),
                         {"--reuid=65534", "--regid=65534", "--clear-groups", INSTALL_UPDATE,
                          package, QStringLiteral("c2lnbmF0dXJl")});
    EXPECT_EQ(user.status, status(InstallStatus::usage));
    EXPECT_EQ(user.err, "install-update: must run as root, through pkexec\n");

    // In a mount namespace of its own, so that the machine's /var/cache is
    // never touched: a package that does not match its signature is copied
    // into the fixed folder and refused, and only root can look in there.
    const Finished root = run(
        QStringLiteral("/usr/bin/unshare"),
        {"--mount", "--propagation", "private", "/bin/sh", "-c",
         "mount -t tmpfs tmpfs /var/cache && umask 000 && \"$0\" \"$1\" c2lnbmF0dXJl; "
         "echo \"status $?\"; stat -c '%a %U %n' /var/cache/veltrane /var/cache/veltrane/updates; "
         "ls -A /var/cache/veltrane/updates",
         INSTALL_UPDATE, package});
    EXPECT_EQ(root.out, QStringLiteral("status %1\n"
                                       "700 root /var/cache/veltrane\n"
                                       "700 root /var/cache/veltrane/updates\n")
                            .arg(status(InstallStatus::badSignature)))
        << root.err.toStdString();
}

} // namespace
