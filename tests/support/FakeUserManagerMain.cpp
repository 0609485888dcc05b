// SPDX-License-Identifier: MIT
// systemd's user manager on the session bus, running the application units
// named on the command line, for a desktop without one (the desktop rig
// under Xvfb): the panel's list of running applications then has rows to
// show. Runs until killed.
//
//   fake-user-manager app-gnome-org.gnome.Terminal-1.scope ...
#include "FakeUserManager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QTextStream(stderr) << "fake-user-manager: no session bus\n";
        return 1;
    }
    QTemporaryDir files;
    FakeUserManager manager(bus, files.filePath(QStringLiteral("cgroup")),
                            files.filePath(QStringLiteral("proc")));
    for (const QString& unit : app.arguments().mid(1)) {
        manager.addUnit(unit, {});
    }
    return app.exec();
}
