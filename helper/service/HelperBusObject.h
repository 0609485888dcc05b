// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusVirtualObject>

#include <functional>
#include <vector>

class VeltraneHelper;

// Takes every message sent to the helper's object before the bus library's
// own dispatch sees it, which would remember each unknown method name and
// signature for good. A call that is not one of the interface's methods with
// its exact signature is refused at once with the bus's standard error
// (UnknownMethod, InvalidArgs); the rest go to VeltraneHelper with typed
// arguments and a typed reply, both derived from the interface description.
class HelperBusObject final : public QDBusVirtualObject {
    Q_OBJECT

public:
    explicit HelperBusObject(VeltraneHelper& helper, QObject* parent = nullptr);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

    struct Route {
        QString member;
        QString signature;
        std::function<void(VeltraneHelper&, const QDBusMessage&, const QDBusConnection&)> call;
    };

private:
    void dispatch(const QDBusMessage& message, const QDBusConnection& connection);

    VeltraneHelper& m_helper;
    const std::vector<Route> m_routes;
};
