// SPDX-License-Identifier: MIT
#include "HelperConnection.h"

#include "BusValues.h"
#include "HelperProtocol.h"
#include "HelperProtocolInterface.h"
#include "ParameterDictionary.h"
#include "ScheduleDictionary.h"
#include "ScopeDictionary.h"
#include "StatisticsDictionary.h"

#include <QDBusMetaType>
#include <QPointer>
#include <QTextStream>

#include <utility>

HelperConnection::HelperConnection(ServiceRegistration& registration, Options options,
                                   QObject* parent)
    : HelperClient(parent)
    , m_installer(registration)
    , m_replies(std::move(options.diagnostics))
    , m_busConnection(std::move(options.bus), options.replyTimeout)
    , m_stateFollower(m_busConnection, m_replies) {
    // A schedule's phases go out as aa{sv}, which QtDBus does not know of
    // itself.
    qDBusRegisterMetaType<QList<QVariantMap>>();
    connect(&m_busConnection, &HelperBusConnection::opened, this, [this](bool replacesLostOne) {
        setConnected(true);
        if (replacesLostOne) {
            Q_EMIT connectionReplaced();
        }
    });
    connect(&m_busConnection, &HelperBusConnection::lost, this, [this] { setConnected(false); });
    // The helper losing its name is an interruption: the next call starts it
    // again over the same connection.
    connect(&m_busConnection, &HelperBusConnection::helperOwnerChanged, this,
            [this](const QString& owner) {
                if (owner.isEmpty()) {
                    setConnected(false);
                }
            });
    connect(&m_stateFollower, &HelperStateFollower::helperStateChanged, this,
            &HelperClient::helperStateChanged);
    QMetaObject::invokeMethod(this, &HelperConnection::checkConnectionStatus, Qt::QueuedConnection);
}

HelperConnection::~HelperConnection() = default;

void HelperConnectionOptions::printLine(const QString& line) {
    QTextStream(stdout) << line << Qt::endl;
}

void HelperConnection::checkConnectionStatus() {
    setConnected(m_installer.isDaemonEnabled());
}

QCoro::Task<> HelperConnection::installHelper() {
    const QPointer<HelperConnection> alive(this);
    const bool enabled = co_await m_installer.install();
    if (enabled && alive) {
        connectIfNeeded();
    }
}

void HelperConnection::connectIfNeeded() {
    if (m_busConnection.isConnected()) {
        setConnected(true);
        return;
    }
    m_busConnection.open();
}

QCoro::Task<> HelperConnection::outcomeOf(HelperCall call) {
    return m_replies.outcomeOf(std::move(call), m_busConnection.life());
}

QCoro::Task<> HelperConnection::disableThrottling() {
    HelperCall call{m_busConnection.callableProxy().DisableThrottling(),
                    HelperReplyForm::successFlag};
    co_await outcomeOf(std::move(call));
}

QCoro::Task<quint64> HelperConnection::startThrottle(ThrottleParameters parameters,
                                                     ThrottleScope scope, ThrottleSchedule schedule,
                                                     QString description, bool hold) {
    // The one method that carries a scope and an owner, and answers with the
    // throttle's id; the whole machine is a dictionary without a scope.
    QVariantMap named = ParameterDictionary::toWire(parameters);
    if (!scope.isMachine()) {
        named.insert(QString::fromLatin1(HelperProtocol::kScopeKey),
                     ScopeDictionary::toWire(scope));
    }
    // Only with one: a helper that knows no schedules still serves the rest.
    if (!schedule.empty()) {
        named.insert(QString::fromLatin1(HelperProtocol::kScheduleKey),
                     ScheduleDictionary::toWire(schedule));
    }
    HelperCall call{
        m_busConnection.callableProxy().EnableThrottlingWithParameters(named, description, hold),
        HelperReplyForm::throttleId};
    co_return co_await m_replies.throttleIdOf(std::move(call), m_busConnection.life());
}

QCoro::Task<> HelperConnection::endThrottle(quint64 id) {
    HelperCall call{m_busConnection.callableProxy().EndThrottle(id), HelperReplyForm::namedErrors};
    co_await outcomeOf(std::move(call));
}

QCoro::Task<> HelperConnection::releaseThrottling() {
    HelperCall call{m_busConnection.callableProxy().ReleaseThrottling(),
                    HelperReplyForm::namedErrors};
    co_await outcomeOf(std::move(call));
}

QCoro::Task<HelperState> HelperConnection::readState() {
    co_return co_await m_stateFollower.read();
}

QCoro::Task<ShaperStatistics> HelperConnection::readStatistics() {
    QDBusPendingCall call = m_busConnection.callableProxy().GetStatistics();
    const QDBusMessage reply =
        co_await m_replies.dictionaryReplyOf(std::move(call), m_busConnection.life());
    co_return StatisticsDictionary::fromWire(BusValues::plainMap(reply.arguments().value(0)));
}

void HelperConnection::followState() {
    m_stateFollower.follow();
}
