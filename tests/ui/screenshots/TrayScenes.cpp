// SPDX-License-Identifier: MIT
// The tray's gauge symbols, off and on, at the sizes panels draw them (and
// large, to judge the drawing): on a
// panel of the desktop's appearance, and on one of the opposite colour
// (a dark bar over a light theme), where only the halo keeps them readable.
#include "MenuBarLabel.h"
#include "Scenes.h"
#include "TrayIcons.h"

#include <QPainter>

namespace {

QImage trayScene() {
    const bool dark = TrayIcons::desktopIsDark();
    QImage image(2 * (16 + 22 + 32 + 64 + 4 * 12), 2 * 80, QImage::Format_ARGB32);
    QPainter painter(&image);
    const QColor panels[2] = {dark ? QColor(0x1e, 0x1e, 0x1e) : QColor(0xec, 0xec, 0xec),
                              dark ? QColor(0xec, 0xec, 0xec) : QColor(0x1e, 0x1e, 0x1e)};
    for (int row = 0; row < 2; ++row) {
        painter.fillRect(0, row * 80, image.width(), 80, panels[row]);
        int x = 8;
        for (const QString& symbol : {MenuBarLabel::offIcon, MenuBarLabel::onIcon}) {
            for (const int size : {16, 22, 32, 64}) {
                const QPixmap pixmap = TrayIcons::icon(symbol, dark).pixmap(size, size);
                painter.drawPixmap(x, row * 80 + (80 - size) / 2, pixmap);
                x += size + 12;
            }
        }
    }
    return image;
}

const SceneRegistration tray(QStringLiteral("tray-icons"), trayScene);

} // namespace
