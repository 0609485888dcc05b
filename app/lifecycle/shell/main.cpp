// SPDX-License-Identifier: MIT
// veltrane: the tray application.
#include "BuildInfo.h"
#include "FolderOwnership.h"
#include "SingleInstance.h"
#include "StatePersistenceService.h"
#include "UserDefaults.h"
#include "VeltraneApp.h"

#include <QApplication>
#include <QQmlExtensionPlugin>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTextStream>

Q_IMPORT_QML_PLUGIN(Veltrane_UiPlugin)

int main(int argc, char** argv) {
    // The software renderer keeps a resident tray application small.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrane"));
    // The installed desktop entry: desktops take the name and icon from it.
    QApplication::setDesktopFileName(QString::fromLatin1(BuildInfo::desktopEntryId));
    // A tray application: closing its last window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Root with a user's environment would take over the user's files:
    // refused before any store touches its folder.
    if (const std::optional<QString> refused = FolderOwnership().refusalForStores()) {
        QTextStream(stderr) << "Veltrane: " << *refused << Qt::endl;
        return 1;
    }

    // Before anything shows in the tray or asks the helper.
    SingleInstance instance(QDBusConnection::sessionBus());
    QString problem;
    switch (instance.claim(&problem)) {
    case SingleInstance::Claim::runningElsewhere:
        QTextStream(stdout) << "Veltrane is already running" << Qt::endl;
        if (!problem.isEmpty()) {
            QTextStream(stderr) << "Veltrane: " << problem << Qt::endl;
        }
        return 0;
    case SingleInstance::Claim::unknown:
        QTextStream(stderr) << "Veltrane: cannot tell whether Veltrane already runs: " << problem
                            << Qt::endl;
        break;
    case SingleInstance::Claim::owned:
        break;
    }

    // The settings store and what is remembered in it, once for the process.
    UserDefaults defaults;
    StatePersistenceService persistence(defaults);
    VeltraneApp veltrane(instance, defaults, persistence);
    veltrane.start();
    return QApplication::exec();
}
