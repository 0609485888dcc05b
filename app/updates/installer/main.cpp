// SPDX-License-Identifier: MIT
// install-update: installs a downloaded update as root. The application runs
// it through pkexec with the package's path and the feed's signature; the
// package must be signed with the key built into this program. It takes no
// other input: every path and tool is fixed.
#include "InstallUpdate.h"
#include "UpdateBuildSettings.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: install-update PACKAGE SIGNATURE\n", stderr);
        return static_cast<int>(InstallStatus::usage);
    }
    if (::geteuid() != 0) {
        std::fputs("install-update: must run as root, through pkexec\n", stderr);
        return static_cast<int>(InstallStatus::usage);
    }
    ::umask(077);
    const QString package = QFile::decodeName(argv[1]);
    const QByteArray signature(argv[2]);
    // The tools run through QProcess, which needs the thread's event dispatcher.
    QCoreApplication application(argc, argv);
    InstallUpdate::Setup setup;
    setup.publicKey = UpdateBuildSettings::publicKey;
    const InstallUpdate::Result result = InstallUpdate::run(setup, package, signature);
    if (result.status != InstallStatus::installed) {
        std::fprintf(stderr, "install-update: %s\n", result.message.toLocal8Bit().constData());
    }
    return static_cast<int>(result.status);
}
