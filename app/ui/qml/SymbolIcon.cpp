// SPDX-License-Identifier: MIT
#include "SymbolIcon.h"

#include <QImage>
#include <QPainter>
#include <QQuickWindow>
#include <QSvgRenderer>

#include <cmath>

SymbolIcon::SymbolIcon(QQuickItem* parent)
    : QQuickPaintedItem(parent) {
    setImplicitSize(16, 16);
}

void SymbolIcon::setName(const QString& name) {
    if (name != m_name) {
        m_name = name;
        Q_EMIT nameChanged();
        update();
    }
}

void SymbolIcon::setColor(const QColor& color) {
    if (color != m_color) {
        m_color = color;
        Q_EMIT colorChanged();
        update();
    }
}

void SymbolIcon::paint(QPainter* painter) {
    QSvgRenderer renderer(QStringLiteral(":/qt/qml/Veltrane/Ui/icons/%1.svg").arg(m_name));
    if (!renderer.isValid() || width() <= 0 || height() <= 0) {
        return;
    }
    const qreal scale = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    QImage image(static_cast<int>(std::ceil(width() * scale)),
                 static_cast<int>(std::ceil(height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        // Centred at the icon's own aspect ratio, then filled with the colour
        // wherever the icon drew.
        QPainter onImage(&image);
        onImage.setRenderHint(QPainter::Antialiasing);
        const QSizeF viewBox = renderer.viewBoxF().size();
        const QSizeF fitted = viewBox.scaled(image.size(), Qt::KeepAspectRatio);
        renderer.render(&onImage, QRectF(QPointF((image.width() - fitted.width()) / 2,
                                                 (image.height() - fitted.height()) / 2),
                                         fitted));
        onImage.setCompositionMode(QPainter::CompositionMode_SourceIn);
        onImage.fillRect(image.rect(), m_color);
    }
    painter->drawImage(QRectF(0, 0, width(), height()), image);
}
