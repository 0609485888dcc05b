// SPDX-License-Identifier: MIT
#include "DesktopFont.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>

namespace {

bool hasEvenFigures(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(u'0');
    for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
        if (!qFuzzyCompare(metrics.horizontalAdvance(QChar(digit)), zero)) {
            return false;
        }
    }
    return true;
}

} // namespace

DesktopFont::DesktopFont(QObject* parent)
    : QObject(parent) {
    qGuiApp->installEventFilter(this);
    update();
}

bool DesktopFont::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qGuiApp && event->type() == QEvent::ApplicationFontChange) {
        update();
    }
    return false;
}

void DesktopFont::update() {
    const QFont font = QGuiApplication::font();
    m_pixelSize = QFontInfo(font).pixelSize();
    // Qt 6.4 cannot ask a font for its tabular figures: most desktop fonts
    // draw even digits already, and the others fall back to the monospace
    // font, whose digits are even by construction.
    m_figuresFamily = hasEvenFigures(font)
                          ? QFontInfo(font).family()
                          : QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    Q_EMIT changed();
}
