// SPDX-License-Identifier: MIT
#pragma once

#include "WindowNavigator.h"
#include "WindowScene.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickView>

#include <map>

// The application's windows by identifier: one window per identifier,
// titled, fixed to its content's size and centred when it opens, brought to
// the front and activated when it is opened again. A window exists while it
// is open; closing it releases its content.
class WindowRegistry final : public QObject, public WindowNavigator {
    Q_OBJECT

public:
    explicit WindowRegistry(QQmlEngine& engine, QObject* parent = nullptr);
    ~WindowRegistry() override;

    void add(const QString& identifier, WindowScene scene);

    void openWindow(const QString& identifier) override;
    void closeWindow(const QString& identifier) override;

    // The open window of an identifier, or none.
    QQuickView* window(const QString& identifier) const;

    // A view of the module in a window of its own, sized by its content;
    // null (with QML's messages logged) when the view does not load.
    static QQuickView* createView(QQmlEngine& engine, const WindowScene& scene);

private:
    QQmlEngine& m_engine;
    std::map<QString, WindowScene> m_scenes;
    QHash<QString, QPointer<QQuickView>> m_open;
};
