// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

// A window's title and content: a view of the Veltrane.Ui module and its
// required properties. The factory runs each time the window is created;
// what it creates it parents to `window`, so it lives as long as the window.
struct WindowScene {
    QString title;
    QString viewName;
    std::function<QVariantMap(QObject* window)> properties;
};
