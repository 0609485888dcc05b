// SPDX-License-Identifier: MIT
// The root-side update installer with a test's key, and folder and tools as
// UpdatePackages lays them out, for a fake pkexec to run. Never installed:
// the installed program takes no paths.
//   veltrane-install-update-sandbox KEY FOLDER PACKAGE SIGNATURE
#include "InstallUpdate.h"
#include "UpdatePackages.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 5) {
        return static_cast<int>(InstallStatus::usage);
    }
    QCoreApplication application(argc, argv);
    const InstallUpdate::Result result =
        InstallUpdate::run(UpdatePackages::setup(argv[1], QString::fromLocal8Bit(argv[2])),
                           QString::fromLocal8Bit(argv[3]), argv[4]);
    if (result.status != InstallStatus::installed) {
        std::fprintf(stderr, "install-update: %s\n", result.message.toLocal8Bit().constData());
    }
    return static_cast<int>(result.status);
}
