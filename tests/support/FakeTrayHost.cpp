// SPDX-License-Identifier: MIT
#include "FakeTrayHost.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDateTime>

#include <stdexcept>

namespace {

const QString kName = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

struct MenuEntry {
    int id = 0;
    QString label;
};

// A layout node is (ia{sv}av): id, properties, children as variants.
void collectEntries(const QDBusArgument& node, QList<MenuEntry>& entries) {
    int id = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    if (properties.value(QStringLiteral("type")).toString() != u"separator" &&
        properties.contains(QStringLiteral("label"))) {
        entries.append({id, properties.value(QStringLiteral("label")).toString()});
    }
    node.beginArray();
    while (!node.atEnd()) {
        QDBusVariant child;
        node >> child;
        collectEntries(child.variant().value<QDBusArgument>(), entries);
    }
    node.endArray();
    node.endStructure();
}

// The entries below the root, in menu order.
QList<MenuEntry> menuEntries(QDBusConnection& bus, const QString& item) {
    QDBusMessage layout = QDBusMessage::createMethodCall(item, kMenuPath, kMenuInterface,
                                                         QStringLiteral("GetLayout"));
    layout << 0 << -1 << QStringList();
    const QDBusMessage reply = bus.call(layout, QDBus::Block, 5000);
    QList<MenuEntry> entries;
    if (reply.type() == QDBusMessage::ReplyMessage) {
        collectEntries(reply.arguments().at(1).value<QDBusArgument>(), entries);
    }
    entries.removeIf([](const MenuEntry& entry) { return entry.id == 0; });
    return entries;
}

} // namespace

FakeTrayHost::FakeTrayHost(QDBusConnection bus)
    : m_bus(std::move(bus)) {
    if (!m_bus.registerObject(kPath, this, QDBusConnection::ExportAllContents) ||
        !m_bus.registerService(kName)) {
        throw std::runtime_error("cannot serve org.kde.StatusNotifierWatcher");
    }
}

FakeTrayHost::~FakeTrayHost() {
    m_bus.unregisterService(kName);
    m_bus.unregisterObject(kPath);
}

void FakeTrayHost::RegisterStatusNotifierItem(const QString& service) {
    // An item may name a path instead of a service: it is then at the sender.
    const QString name = service.startsWith(u'/') ? message().service() : service;
    m_items << name;
    Q_EMIT StatusNotifierItemRegistered(name);
}

void FakeTrayHost::RegisterStatusNotifierHost(const QString&) {}

std::optional<QString> FakeTrayHost::item() const {
    return m_items.isEmpty() ? std::nullopt : std::optional(m_items.constFirst());
}

QString FakeTrayHost::toolTip() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        item().value_or(QString()), kItemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kItemInterface << QStringLiteral("ToolTip");
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        throw std::runtime_error("no tooltip: " + reply.errorMessage().toStdString());
    }
    // (sa(iiay)ss): icon name, icon pixmaps, title, description.
    const QDBusArgument toolTip =
        reply.arguments().at(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    QString iconName, title, description;
    toolTip.beginStructure();
    toolTip >> iconName;
    toolTip.beginArray();
    while (!toolTip.atEnd()) {
        int width = 0, height = 0;
        QByteArray pixels;
        toolTip.beginStructure();
        toolTip >> width >> height >> pixels;
        toolTip.endStructure();
    }
    toolTip.endArray();
    toolTip >> title >> description;
    toolTip.endStructure();
    return title;
}

void FakeTrayHost::activate(int x, int y) {
    QDBusMessage call = QDBusMessage::createMethodCall(item().value_or(QString()), kItemPath,
                                                       kItemInterface, QStringLiteral("Activate"));
    call << x << y;
    m_bus.call(call, QDBus::Block, 5000);
}

QStringList FakeTrayHost::menuLabels() {
    QStringList labels;
    for (const MenuEntry& entry : menuEntries(m_bus, item().value_or(QString()))) {
        labels << entry.label;
    }
    return labels;
}

bool FakeTrayHost::clickMenu(const QString& label) {
    for (const MenuEntry& entry : menuEntries(m_bus, item().value_or(QString()))) {
        if (entry.label == label) {
            QDBusMessage event = QDBusMessage::createMethodCall(
                item().value_or(QString()), kMenuPath, kMenuInterface, QStringLiteral("Event"));
            event << entry.id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
                  << static_cast<uint>(QDateTime::currentSecsSinceEpoch());
            return m_bus.call(event, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
        }
    }
    return false;
}
