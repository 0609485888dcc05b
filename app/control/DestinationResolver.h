// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleScope.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <vector>

// Turns the destinations a user typed into the scope the helper takes: each
// host name becomes all its addresses (A and AAAA), keeping its port, and
// the typed texts go beside them as the names shown. Resolved here, by the
// client, when a throttle is switched on: the helper may not reach a
// resolver.
class DestinationResolver final {
public:
    // What the name resolves to, as text; a failure throws ThrottleError
    // (invalidProfile: what the user typed cannot be switched on).
    // Replaceable, so that tests need no resolver.
    using Lookup =
        std::function<QCoro::Task<QStringList>(QString host, std::chrono::milliseconds limit)>;

    explicit DestinationResolver(std::chrono::milliseconds limit = std::chrono::seconds(5),
                                 Lookup lookup = &DestinationResolver::lookUp);

    // Throws ThrottleError naming a host that resolves to nothing, cannot be
    // resolved, or takes longer than the limit, and when the addresses of
    // them all come to more than ThrottleScope::kMaxDestinations.
    QCoro::Task<ThrottleScope> resolve(std::vector<Destination> destinations) const;

    // The system's resolver, through Qt.
    static QCoro::Task<QStringList> lookUp(QString host, std::chrono::milliseconds limit);

private:
    std::chrono::milliseconds m_limit;
    Lookup m_lookup;
};

// One host's lookup as a signal to await.
class HostLookup final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

Q_SIGNALS:
    void found(const QStringList& addresses, const QString& failure);
};
