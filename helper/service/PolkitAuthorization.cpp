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

void PolkitAuthorization::check(const QString& caller, std::function<void(Decision)> done) {
    QDBusMessage askUser = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixUser"));
    askUser.setArguments({caller});
    callAsync(m_bus, askUser, kBusTimeoutMs, this,
              [this, caller, done = std::move(done)](const QDBusMessage& reply) {
                  if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != "u") {
                      done({false, std::nullopt}); // gone already, or no answer
                      return;
                  }
                  const uint uid = reply.arguments().at(0).toUInt();
                  if (uid == 0) {
                      done({true, uid});
                      return;
                  }
                  askPolkit(caller, uid, done);
              });
}

void PolkitAuthorization::askPolkit(const QString& caller, uint uid,
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
              [uid, done = std::move(done)](const QDBusMessage& reply) {
                  done({isAuthorized(reply), uid});
              });
}
