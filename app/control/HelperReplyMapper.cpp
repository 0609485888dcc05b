// SPDX-License-Identifier: MIT
#include "HelperReplyMapper.h"

#include "HelperProtocol.h"
#include "ThrottleError.h"

#include <QCoro/QCoroSignal>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QLatin1StringView>

#include <optional>
#include <utility>

namespace {

// Answers of the members added beside the nine: the helper tells its cases
// apart by name; anything else came from the bus, not the helper.
std::optional<ThrottleError> namedError(const QDBusMessage& reply) {
    namespace Error = HelperProtocol::Error;
    const QString name = reply.errorName();
    if (name == QLatin1StringView(Error::kNotAuthorized)) {
        return ThrottleError::authorizationDenied();
    }
    for (const char* answered : {Error::kInvalidArguments, Error::kFailed, Error::kTimedOut,
                                 Error::kNotHolder, Error::kNoSuchThrottle}) {
        if (name == QLatin1StringView(answered)) {
            return ThrottleError::helperError(reply.errorMessage());
        }
    }
    return std::nullopt;
}

// A (success, message) reply that says the helper did not do it.
void throwUnlessFlagged(const QDBusMessage& reply) {
    if (!reply.arguments().at(0).toBool()) {
        const QString message = reply.arguments().at(1).toString();
        throw ThrottleError::helperError(message.isEmpty() ? QStringLiteral("Unknown error")
                                                           : message);
    }
}

} // namespace

HelperReplyMapper::HelperReplyMapper(Diagnostics diagnostics)
    : m_diagnostics(std::move(diagnostics)) {}

QCoro::Task<> HelperReplyMapper::outcomeOf(HelperCall call, QObject& connectionLife) const {
    return awaitOutcome(std::move(call), connectionLife, m_diagnostics);
}

QCoro::Task<quint64> HelperReplyMapper::throttleIdOf(HelperCall call,
                                                     QObject& connectionLife) const {
    return awaitThrottleId(std::move(call), connectionLife, m_diagnostics);
}

QCoro::Task<quint64> HelperReplyMapper::awaitThrottleId(HelperCall call, QObject& connectionLife,
                                                        Diagnostics diagnostics) {
    const QDBusMessage reply = co_await replyOf(std::move(call.pending), connectionLife);
    if (call.replyForm == HelperReplyForm::successFlag) {
        throwUnlessAnswered(reply, u"bs", diagnostics);
        throwUnlessFlagged(reply);
        co_return quint64(0);
    }
    throwUnlessAnswered(reply, reply.signature() == u"t" ? u"t" : u"", diagnostics);
    co_return reply.arguments().isEmpty() ? quint64(0)
                                          : quint64(reply.arguments().at(0).toULongLong());
}

QCoro::Task<QDBusMessage> HelperReplyMapper::dictionaryReplyOf(QDBusPendingCall call,
                                                               QObject& connectionLife) const {
    return awaitDictionary(std::move(call), connectionLife, m_diagnostics);
}

QCoro::Task<> HelperReplyMapper::awaitOutcome(HelperCall call, QObject& connectionLife,
                                              Diagnostics diagnostics) {
    const QDBusMessage reply = co_await replyOf(std::move(call.pending), connectionLife);
    if (call.replyForm == HelperReplyForm::namedErrors) {
        throwUnlessAnswered(reply, u"", diagnostics);
        co_return;
    }
    if (call.replyForm == HelperReplyForm::throttleId) {
        throwUnlessAnswered(reply, reply.signature() == u"t" ? u"t" : u"", diagnostics);
        co_return;
    }
    throwUnlessAnswered(reply, u"bs", diagnostics);
    throwUnlessFlagged(reply);
}

QCoro::Task<QDBusMessage> HelperReplyMapper::awaitDictionary(QDBusPendingCall call,
                                                             QObject& connectionLife,
                                                             Diagnostics diagnostics) {
    QDBusMessage reply = co_await replyOf(std::move(call), connectionLife);
    throwUnlessAnswered(reply, u"a{sv}", diagnostics);
    co_return reply;
}

QCoro::Task<QDBusMessage> HelperReplyMapper::replyOf(QDBusPendingCall call,
                                                     QObject& connectionLife) {
    QDBusPendingCallWatcher watcher(call);
    if (!watcher.isFinished()) {
        const QMetaObject::Connection closing =
            QObject::connect(&connectionLife, &QObject::destroyed, &watcher,
                             [&watcher] { Q_EMIT watcher.finished(&watcher); });
        co_await qCoro(&watcher, &QDBusPendingCallWatcher::finished);
        QObject::disconnect(closing);
    }
    if (!watcher.isFinished()) {
        co_return QDBusMessage::createError(QDBusError::Disconnected,
                                            QStringLiteral("The connection was closed"));
    }
    co_return watcher.reply();
}

void HelperReplyMapper::throwUnlessAnswered(const QDBusMessage& reply, QStringView signature,
                                            const Diagnostics& diagnostics) {
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (std::optional<ThrottleError> answered = namedError(reply)) {
            throw *answered;
        }
        // The bus's error names the cause (no such service, no reply in
        // time, peer gone); the caller gets its text.
        const QDBusError error(reply);
        diagnostics(QStringLiteral("Helper proxy error: ") + error.name() + QStringLiteral(": ") +
                    error.message());
        throw ThrottleError::helperCommunicationFailed(error.message());
    }
    // Whatever answered does not speak the helper's interface.
    if (reply.signature() != signature) {
        throw ThrottleError::helperCommunicationFailed(
            QStringLiteral("Failed to get helper proxy"));
    }
}
