// SPDX-License-Identifier: MIT
#include "ApplicationIcon.h"

#include <QFileInfo>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>

ApplicationIcon::ApplicationIcon(QQuickItem* parent)
    : QQuickPaintedItem(parent) {
    setImplicitSize(20, 20);
}

void ApplicationIcon::setIconName(const QString& iconName) {
    if (iconName != m_iconName) {
        m_iconName = iconName;
        Q_EMIT iconNameChanged();
        update();
    }
}

void ApplicationIcon::setName(const QString& name) {
    if (name != m_name) {
        m_name = name;
        Q_EMIT nameChanged();
        update();
    }
}

void ApplicationIcon::setColor(const QColor& color) {
    if (color != m_color) {
        m_color = color;
        Q_EMIT colorChanged();
        update();
    }
}

void ApplicationIcon::paint(QPainter* painter) {
    // An entry may name its icon by absolute path; a relative one is a
    // theme name, never a file of the working folder.
    QIcon icon;
    if (QFileInfo(m_iconName).isAbsolute()) {
        icon = QIcon(m_iconName);
    } else if (!m_iconName.isEmpty()) {
        icon = QIcon::fromTheme(m_iconName);
    }
    const QSize size(qRound(width()), qRound(height()));
    const qreal scale = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    const QPixmap pixmap = icon.isNull() ? QPixmap() : icon.pixmap(size, scale);
    if (pixmap.isNull()) {
        paintPlaceholder(painter);
        return;
    }
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawPixmap(QRectF(0, 0, width(), height()), pixmap, QRectF(pixmap.rect()));
}

void ApplicationIcon::paintPlaceholder(QPainter* painter) {
    painter->setRenderHint(QPainter::Antialiasing);
    QColor square = m_color;
    square.setAlphaF(0.16);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width(), height()), width() / 4.5, height() / 4.5);
    painter->fillPath(path, square);
    const QString letter = m_name.trimmed().left(1).toUpper();
    if (letter.isEmpty()) {
        return;
    }
    QFont font = painter->font();
    font.setPixelSize(qMax(1, qRound(height() * 0.55)));
    font.setWeight(QFont::DemiBold);
    painter->setFont(font);
    painter->setPen(m_color);
    painter->drawText(QRectF(0, 0, width(), height()), Qt::AlignCenter, letter);
}
