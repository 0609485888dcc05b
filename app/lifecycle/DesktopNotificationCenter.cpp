// SPDX-License-Identifier: MIT
#include "DesktopNotificationCenter.h"

#include "BuildInfo.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QCoro/QCoroSignal>
#include <QDBusMetaType>
#include <QPointer>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

// A server that hangs must not hold a notification, or the launch, for long.
constexpr int kReplyTimeoutMs = 5000;

QString errorText(const QDBusMessage& reply) {
    return reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
}

} // namespace

DesktopNotificationCenter::DesktopNotificationCenter(QDBusConnection bus, QObject* parent)
    : UserNotificationCenter(parent)
    , m_bus(std::move(bus)) {
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

QDBusMessage DesktopNotificationCenter::call(const QString& method,
                                             const QVariantList& arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    return message;
}

QCoro::Task<NotificationAuthorization> DesktopNotificationCenter::requestAuthorization() {
    const QDBusMessage question = call(QStringLiteral("GetServerInformation"), QVariantList());
    const QDBusMessage reply =
        co_await QDBusPendingCall(m_bus.asyncCall(question, kReplyTimeoutMs));
    if (reply.type() != QDBusMessage::ReplyMessage) {
        co_return NotificationAuthorization{false, errorText(reply)};
    }
    co_return NotificationAuthorization{true, std::nullopt};
}

QDBusMessage DesktopNotificationCenter::notifyCall(const UserNotificationRequest& request) const {
    // The sound theme's standard sound for a new message: the desktop's default.
    // The installed icon is named after the desktop entry, as its Icon= says.
    const QString icon = QString::fromLatin1(BuildInfo::desktopEntryId);
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QString::fromLatin1(BuildInfo::desktopEntryId)},
        {QStringLiteral("image-path"), icon},
        {QStringLiteral("sound-name"), QStringLiteral("message-new-instant")},
        {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)}};
    const QStringList actions =
        request.opensOnTap ? QStringList{kDefaultAction, QStringLiteral("Open")} : QStringList();
    return call(QStringLiteral("Notify"), {title, m_shown.value(request.identifier, 0), icon, title,
                                           request.body, actions, hints, -1});
}

QCoro::Task<std::optional<QString>>
DesktopNotificationCenter::add(UserNotificationRequest request) {
    const QPointer<DesktopNotificationCenter> alive(this);
    // Only with the server's id of an earlier post can a new one replace it:
    // wait until that post has its answer.
    while (m_posting.contains(request.identifier)) {
        co_await qCoro(this, &DesktopNotificationCenter::posted);
    }
    m_posting.insert(request.identifier);
    const QDBusMessage reply =
        co_await QDBusPendingCall(m_bus.asyncCall(notifyCall(request), kReplyTimeoutMs));
    if (alive) {
        m_posting.remove(request.identifier);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            m_shown.insert(request.identifier, reply.arguments().value(0).toUInt());
        }
        Q_EMIT posted();
    }
    if (reply.type() != QDBusMessage::ReplyMessage) {
        co_return errorText(reply);
    }
    co_return std::nullopt;
}

void DesktopNotificationCenter::removeDeliveredNotifications(const QString& identifier) {
    const auto shown = m_shown.constFind(identifier);
    if (shown == m_shown.constEnd()) {
        return;
    }
    m_bus.asyncCall(call(QStringLiteral("CloseNotification"), {*shown}), kReplyTimeoutMs);
    m_shown.erase(shown);
}

void DesktopNotificationCenter::actionInvoked(uint id, const QString& actionKey) {
    // The server sends every client's actions to every client.
    const QString identifier = m_shown.key(id);
    if (actionKey == kDefaultAction && !identifier.isEmpty()) {
        Q_EMIT tapped(identifier);
    }
}

void DesktopNotificationCenter::notificationClosed(uint id, uint) {
    const QString identifier = m_shown.key(id);
    if (!identifier.isEmpty()) {
        m_shown.remove(identifier);
    }
}
