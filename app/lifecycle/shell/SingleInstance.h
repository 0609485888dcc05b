// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

// One application per user session, the desktop's usual way: the first
// process owns a well-known name on the session bus, and one started later
// asks it to open its panel instead of showing a second tray entry and
// deciding a second time what to do with the helper's throttling.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.veltrane.Veltrane")

public:
    static constexpr const char* serviceName = "com.veltrane.Veltrane";
    static constexpr const char* objectPath = "/com/veltrane/Veltrane";
    static constexpr const char* interfaceName = "com.veltrane.Veltrane";

    enum class Claim {
        // This process is the session's application.
        owned,
        // Another process is, and was asked to open its panel.
        runningElsewhere,
        // Nobody can tell (no session bus): this process runs on its own.
        unknown,
    };

    explicit SingleInstance(QDBusConnection sessionBus, QObject* parent = nullptr);
    ~SingleInstance() override;

    // `problem` tells why the claim is unknown, or why the running process
    // could not be asked to open its panel.
    Claim claim(QString* problem);
    // Lets a process started from now on take the name, while this one
    // still quits. Waits for nothing.
    void release();

public Q_SLOTS:
    // Called over the bus by a process started later.
    Q_SCRIPTABLE void Activate();

Q_SIGNALS:
    void activated();

private:
    QDBusConnection m_bus;
    bool m_owned = false;
};
