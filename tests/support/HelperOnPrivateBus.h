// SPDX-License-Identifier: MIT
#pragma once

#include "FakeToolSandbox.h"
#include "PrivateBus.h"

#include <QDBusMessage>
#include <QObject>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// The sandboxed helper daemon behind a private bus: the bus starts it on the
// first call, with fake tools under a sandbox root.
class HelperOnPrivateBus final {
public:
    struct Options {
        // Go to veltrane-helper-sandbox after --root.
        QStringList extraArguments;
        // Users a fake polkit on the bus authorises; none: no polkit at all.
        std::optional<QList<uint>> polkitAllows;
        // Replaces the bus's permissive policy (see PrivateBus).
        QString policy;
    };

    HelperOnPrivateBus();
    explicit HelperOnPrivateBus(const Options& options);
    ~HelperOnPrivateBus();
    HelperOnPrivateBus(const HelperOnPrivateBus&) = delete;
    HelperOnPrivateBus& operator=(const HelperOnPrivateBus&) = delete;

    // From now on the fake polkit (when there is one) authorises `uids`.
    void setPolkitAllows(const QList<uint>& uids);

    FakeToolSandbox& tools() { return m_tools; }
    const FakeToolSandbox& tools() const { return m_tools; }
    PrivateBus& bus() { return m_bus; }
    const PrivateBus& bus() const { return m_bus; }

    // A call of a helper method, to send as it is or asynchronously.
    static QDBusMessage methodCall(const QString& method, const QVariantList& arguments = {});

    // A blocking call of a helper method on `client`.
    static QDBusMessage call(QDBusConnection& client, const QString& method,
                             const QVariantList& arguments = {}, int timeoutMs = 10'000);

    static QString sandboxDaemonPath();

    // GetState's answer on `client`, nested dictionaries unpacked.
    static QVariantMap state(QDBusConnection& client);

private:
    FakeToolSandbox m_tools;
    PrivateBus m_bus;
};

// The helper's StateChanged signals as they arrive on one connection, nested
// dictionaries unpacked.
class HelperStateSignals final : public QObject {
    Q_OBJECT

public:
    explicit HelperStateSignals(QDBusConnection connection);

    const QList<QVariantMap>& received() const { return m_received; }
    // The last one, or an empty dictionary.
    QVariantMap last() const { return m_received.value(m_received.size() - 1); }

private Q_SLOTS:
    void stateChanged(const QVariantMap& state);

private:
    QList<QVariantMap> m_received;
};

// A nested dictionary as it arrives over the bus.
QVariantMap unpackedMap(const QVariant& value);
