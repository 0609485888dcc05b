// SPDX-License-Identifier: MIT
#pragma once

#include <QCoro/QCoroTask>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <QStringView>

#include <functional>

// How a method of the helper answers: the nine original ones with a flag and
// a text; the members added beside them with nothing, or a named error;
// EnableThrottlingWithParameters with the throttle's id (nothing from a
// helper older than several throttles), or a named error.
enum class HelperReplyForm { successFlag, namedErrors, throttleId };

// A call sent to the helper, and how its reply reads.
struct HelperCall {
    QDBusPendingCall pending;
    HelperReplyForm replyForm;
};

// What the helper's replies and the bus's errors mean to the application:
// the answer, or the ThrottleError it stands for. Every task it hands out
// keeps what it needs, so the reply may arrive after this object and the
// connection's owner are gone.
class HelperReplyMapper final {
public:
    // Where a bus error is reported beside the error thrown.
    using Diagnostics = std::function<void(const QString&)>;

    explicit HelperReplyMapper(Diagnostics diagnostics);

    // Each awaits the reply to a call, or the connection it went out on
    // closing first (`connectionLife` ends with it), and throws a failure.
    // A switch: done, or refused.
    QCoro::Task<> outcomeOf(HelperCall call, QObject& connectionLife) const;
    // As outcomeOf, for a call answered with a throttle's id: that id, or 0
    // from a helper that gives none.
    QCoro::Task<quint64> throttleIdOf(HelperCall call, QObject& connectionLife) const;
    // GetState, GetStatistics: a reply that carries a dictionary.
    QCoro::Task<QDBusMessage> dictionaryReplyOf(QDBusPendingCall call,
                                                QObject& connectionLife) const;

private:
    static QCoro::Task<quint64> awaitThrottleId(HelperCall call, QObject& connectionLife,
                                                Diagnostics diagnostics);
    static QCoro::Task<> awaitOutcome(HelperCall call, QObject& connectionLife,
                                      Diagnostics diagnostics);
    static QCoro::Task<QDBusMessage> awaitDictionary(QDBusPendingCall call, QObject& connectionLife,
                                                     Diagnostics diagnostics);
    // The reply, or an error when the connection closes first: nothing may
    // wait for ever on a call that can no longer be answered.
    static QCoro::Task<QDBusMessage> replyOf(QDBusPendingCall call, QObject& connectionLife);
    // Throws unless the helper answered with `signature`.
    static void throwUnlessAnswered(const QDBusMessage& reply, QStringView signature,
                                    const Diagnostics& diagnostics);

    Diagnostics m_diagnostics;
};
