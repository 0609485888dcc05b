// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

// Every item under `item` with the given objectName that is on screen, in
// tree order: a view test often needs the second pencil, not the first.
inline QList<QQuickItem*> visibleItemsNamed(QQuickItem* item, const QString& objectName) {
    QList<QQuickItem*> found;
    if (!item || !item->isVisible()) {
        return found;
    }
    if (item->objectName() == objectName) {
        found << item;
    }
    for (QQuickItem* child : item->childItems()) {
        found << visibleItemsNamed(child, objectName);
    }
    return found;
}

inline void clickItem(QQuickItem* item) {
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}
