// SPDX-License-Identifier: MIT
#include "TrayHostWatch.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace {

const QString kTrayWatcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kTrayWatcherPath = QStringLiteral("/StatusNotifierWatcher");
// A watcher slower than this is as good as none for an icon.
constexpr int kTrayWatcherTimeoutMs = 2000;

} // namespace

TrayHostWatch::TrayHostWatch(QDBusConnection sessionBus, std::function<bool()> otherTray,
                             QObject* parent)
    : QObject(parent)
    , m_bus(std::move(sessionBus))
    , m_watcher(kTrayWatcherName, m_bus, QDBusServiceWatcher::WatchForOwnerChange) {
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &TrayHostWatch::hostsChanged);
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
        m_bus.connect(kTrayWatcherName, kTrayWatcherPath, kTrayWatcherName,
                      QString::fromLatin1(signal), this, SLOT(hostsChanged()));
    }
    // Asked once: each question is a bus round trip while the application starts.
    const bool registered = hostRegistered();
    // Qt looks for an XEmbed tray once; it never tells when one comes or goes.
    m_otherTray = !registered && otherTray && otherTray();
    m_available = m_otherTray || registered;
}

void TrayHostWatch::hostsChanged() {
    const bool available = m_otherTray || hostRegistered();
    if (available != std::exchange(m_available, available)) {
        Q_EMIT availabilityChanged(available);
    }
}

bool TrayHostWatch::hostRegistered() const {
    if (!m_bus.isConnected()) {
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kTrayWatcherName, kTrayWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get.setArguments({kTrayWatcherName, QStringLiteral("IsStatusNotifierHostRegistered")});
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, kTrayWatcherTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}
