// SPDX-License-Identifier: MIT
// veltrane: the tray application.
#include "BuildInfo.h"
#include "VeltraneApp.h"

#include <QApplication>
#include <QQmlExtensionPlugin>
#include <QQuickWindow>
#include <QSGRendererInterface>

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

    VeltraneApp veltrane;
    veltrane.start();
    return QApplication::exec();
}
