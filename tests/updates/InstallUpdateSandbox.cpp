// SPDX-License-Identifier: MIT
// The root-side update installer with a test's key, folder and tools, for a
// fake pkexec to run. Never installed: the installed program takes no paths.
//   veltrane-install-update-sandbox KEY CACHE-FOLDER TOOLS-FOLDER PACKAGE SIGNATURE
#include "InstallUpdate.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fputs("usage: veltrane-install-update-sandbox KEY CACHE TOOLS PACKAGE SIGNATURE\n",
                   stderr);
        return static_cast<int>(InstallStatus::usage);
    }
    QCoreApplication application(argc, argv);
    const QDir tools(QString::fromLocal8Bit(argv[3]));
    InstallUpdate::Setup setup;
    setup.publicKey = argv[1];
    setup.cacheFolder = QString::fromLocal8Bit(argv[2]);
    setup.dpkgDeb = tools.filePath(QStringLiteral("dpkg-deb"));
    setup.dpkgQuery = tools.filePath(QStringLiteral("dpkg-query"));
    setup.dpkg = tools.filePath(QStringLiteral("dpkg"));
    setup.aptGet = tools.filePath(QStringLiteral("apt-get"));
    const InstallUpdate::Result result =
        InstallUpdate::run(setup, QString::fromLocal8Bit(argv[4]), argv[5]);
    if (result.status != InstallStatus::installed) {
        std::fprintf(stderr, "install-update: %s\n", result.message.toLocal8Bit().constData());
    }
    return static_cast<int>(result.status);
}
