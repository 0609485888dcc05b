// SPDX-License-Identifier: MIT
#include "PolkitAuthorization.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <memory>

namespace {

constexpr const char* kAction = "com.veltrane.helper.throttle";
// Bounded waits: an authority or a bus that never answers must not keep a
// client's call open forever.
constexpr int kBusTimeoutMs = 5'000;
constexpr int kPolkitTimeoutMs = 10'000;

// Calls `onReply` with the answer (or an error message) on this thread.
void callAsync(QDBusConnection& bus, const QDBusMessage& call, int timeoutMs, QObject* context,
               std::function<void(const QDBusMessage&)> onReply) {
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, onReply = std::move(onReply)] {
                         watcher->deleteLater();
                         onReply(watcher->reply());
                     });
}

QDBusArgument busNameSubject(const QString& caller) {
    QDBusArgument subject;
    subject.beginStructure();
    subject << QStringLiteral("system-bus-name")
            << QVariantMap{{QStringLiteral("name"), QVariant::fromValue(caller)}};
    subject.endStructure();
    return subject;
}

QDBusArgument noDetails() {
    QDBusArgument details;
    details.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
    details.endMap();
    return details;
}

// The first field of CheckAuthorization's (bba{ss}) answer.
bool isAuthorized(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != "(bba{ss})") {
        return false;
    }
    const QDBusArgument result = reply.arguments().at(0).value<QDBusArgument>();
    bool authorized = false;
    result.beginStructure();
    result >> authorized;
    return authorized;
}

} // namespace

PolkitAuthorization::PolkitAuthorization(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {}

void PolkitAuthorization::checkUnless(const QString& caller, std::function<bool(uint uid)> isOwn,
                                      std::function<void(Decision)> done) {
    // The credentials give the process as well, which the owner of the
    // throttling is named by; one question for both.
    QDBusMessage askCredentials = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionCredentials"));
    askCredentials.setArguments({caller});
    callAsync(m_bus, askCredentials, kBusTimeoutMs, this,
              [this, caller, isOwn = std::move(isOwn),
               done = std::move(done)](const QDBusMessage& reply) {
                  if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != "a{sv}") {
                      done({false, std::nullopt, std::nullopt}); // gone already, or no answer
                      return;
                  }
                  const auto credentials = qdbus_cast<QVariantMap>(reply.arguments().at(0));
                  const QVariant user = credentials.value(QStringLiteral("UnixUserID"));
                  const QVariant process = credentials.value(QStringLiteral("ProcessID"));
                  if (user.typeId() != QMetaType::UInt) {
                      done({false, std::nullopt, std::nullopt});
                      return;
                  }
                  Decision decision{false, user.toUInt(), std::nullopt};
                  if (process.typeId() == QMetaType::UInt) {
                      decision.pid = process.toUInt();
                  }
                  if (decision.uid == 0u || (isOwn && isOwn(*decision.uid))) {
                      decision.allowed = true;
                      done(decision);
                      return;
                  }
                  askPolkit(caller, decision, done);
              });
}

void PolkitAuthorization::askPolkit(const QString& caller, Decision decision,
                                    std::function<void(Decision)> done) {
    QDBusMessage ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PolicyKit1"),
                                       QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                                       QStringLiteral("org.freedesktop.PolicyKit1.Authority"),
                                       QStringLiteral("CheckAuthorization"));
    // Flags 0: no interaction, so a caller outside an active session whose
    // policy says auth_admin is refused rather than asked.
    ask.setArguments({QVariant::fromValue(busNameSubject(caller)), QString::fromUtf8(kAction),
                      QVariant::fromValue(noDetails()), uint(0), QString()});
    callAsync(m_bus, ask, kPolkitTimeoutMs, this,
              [decision, done = std::move(done)](const QDBusMessage& reply) mutable {
                  decision.allowed = isAuthorized(reply);
                  done(decision);
              });
}
