// SPDX-License-Identifier: MIT
#include "TrayIcons.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

namespace TrayIcons {

QByteArray drawing(const QString& symbolName, bool darkPanel) {
    QFile file(QStringLiteral(":/tray/%1.svg").arg(symbolName));
    QByteArray svg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (darkPanel) {
        svg.replace("#000000", "#@ink@").replace("#FFFFFF", "#000000").replace("#@ink@", "#FFFFFF");
    }
    return svg;
}

QIcon icon(const QString& symbolName, bool darkPanel) {
    QSvgRenderer renderer(drawing(symbolName, darkPanel));
    QIcon icon;
    // Tray hosts pick the size they draw; every common one is drawn, not scaled.
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

bool desktopIsDark() {
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightnessF() <
           palette.color(QPalette::WindowText).lightnessF();
}

} // namespace TrayIcons
