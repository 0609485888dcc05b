// SPDX-License-Identifier: MIT
#include "DestinationResolver.h"

#include "ThrottleError.h"

#include <QCoro/QCoroSignal>
#include <QHostAddress>
#include <QHostInfo>

#include <algorithm>
#include <string>
#include <utility>

DestinationResolver::DestinationResolver(std::chrono::milliseconds limit, Lookup lookup)
    : m_limit(limit)
    , m_lookup(std::move(lookup)) {}

QCoro::Task<QStringList> DestinationResolver::lookUp(QString host,
                                                     std::chrono::milliseconds limit) {
    HostLookup lookup;
    const int id = QHostInfo::lookupHost(host, &lookup, [&lookup](const QHostInfo& info) {
        QStringList addresses;
        for (const QHostAddress& address : info.addresses()) {
            addresses << address.toString();
        }
        Q_EMIT lookup.found(addresses,
                            info.error() == QHostInfo::NoError ? QString() : info.errorString());
    });
    const auto answer = co_await qCoro(&lookup, &HostLookup::found, limit);
    if (!answer) {
        QHostInfo::abortHostLookup(id);
        throw ThrottleError::invalidProfile(QStringLiteral("Resolving %1 took longer than %2 s")
                                                .arg(host)
                                                .arg(double(limit.count()) / 1000.0));
    }
    const auto& [addresses, failure] = *answer;
    if (!failure.isEmpty()) {
        throw ThrottleError::invalidProfile(
            QStringLiteral("%1 cannot be resolved: %2").arg(host, failure));
    }
    co_return addresses;
}

QCoro::Task<ThrottleScope>
DestinationResolver::resolve(std::vector<Destination> destinations) const {
    ThrottleScope scope;
    for (const Destination& destination : destinations) {
        scope.names.push_back(destination.text());
        if (destination.kind != Destination::Kind::hostName) {
            scope.destinations.push_back(destination);
            continue;
        }
        const QString host = QString::fromStdString(destination.hostName);
        const QStringList addresses = co_await m_lookup(host, m_limit);
        if (addresses.isEmpty()) {
            throw ThrottleError::invalidProfile(
                QStringLiteral("%1 resolves to no address").arg(host));
        }
        for (const QString& address : addresses) {
            std::string failure;
            auto resolved = Destination::parse(address.toStdString(), failure);
            // An IPv6 address with a zone ("fe80::1%eth0") has no place in a
            // filter that matches addresses alone.
            if (!resolved || resolved->kind != Destination::Kind::network) {
                continue;
            }
            resolved->port = destination.port;
            if (std::find(scope.destinations.begin(), scope.destinations.end(), *resolved) ==
                scope.destinations.end()) {
                scope.destinations.push_back(*resolved);
            }
        }
    }
    if (scope.destinations.size() > ThrottleScope::kMaxDestinations) {
        throw ThrottleError::invalidProfile(
            QStringLiteral("The destinations resolve to %1 addresses; a throttle takes at most %2")
                .arg(scope.destinations.size())
                .arg(ThrottleScope::kMaxDestinations));
    }
    co_return scope;
}
