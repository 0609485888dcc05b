// SPDX-License-Identifier: MIT
#include "FakeTrayHost.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>

#include <stdexcept>

namespace {

const QString kWatcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

QDBusMessage itemCall(const QString& item, const QString& method, const QVariantList& arguments) {
    const bool menu = method == u"GetLayout" || method == u"Event";
    QDBusMessage call = QDBusMessage::createMethodCall(
        item, menu ? QStringLiteral("/MenuBar") : QStringLiteral("/StatusNotifierItem"),
        menu               ? QStringLiteral("com.canonical.dbusmenu")
        : method == u"Get" ? QStringLiteral("org.freedesktop.DBus.Properties")
                           : QStringLiteral("org.kde.StatusNotifierItem"),
        method);
    call.setArguments(arguments);
    return call;
}

// A layout node is (ia{sv}av): id, properties, children as variants.
void collectEntries(const QDBusArgument& node, QList<std::pair<int, QString>>& entries) {
    int id = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    const QString label = properties.value(QStringLiteral("label")).toString();
    if (id != 0 && !label.isEmpty()) {
        entries.append({id, label});
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

} // namespace

FakeTrayHost::FakeTrayHost(QDBusConnection bus)
    : m_bus(std::move(bus)) {
    if (!m_bus.registerObject(kWatcherPath, this, QDBusConnection::ExportAllContents) ||
        !m_bus.registerService(kWatcherName)) {
        throw std::runtime_error("cannot serve org.kde.StatusNotifierWatcher");
    }
}

void FakeTrayHost::leave() {
    m_bus.unregisterService(kWatcherName);
}

FakeTrayHost::~FakeTrayHost() {
    m_bus.unregisterService(kWatcherName);
    m_bus.unregisterObject(kWatcherPath);
}

void FakeTrayHost::RegisterStatusNotifierItem(const QString& service) {
    // An item may name its path instead: it is then at the sender's name.
    m_item = service.startsWith(u'/') ? message().service() : service;
}

QString FakeTrayHost::toolTip() {
    const QDBusMessage reply = m_bus.call(
        itemCall(m_item.value_or(QString()), QStringLiteral("Get"),
                 {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("ToolTip")}));
    // (sa(iiay)ss): icon name, icon pixmaps, title, description.
    const QDBusArgument toolTip =
        reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
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
    // Read to the end: a structure left open keeps its message alive.
    toolTip >> title >> description;
    toolTip.endStructure();
    return title;
}

void FakeTrayHost::activate(int x, int y) {
    m_bus.call(itemCall(m_item.value_or(QString()), QStringLiteral("Activate"), {x, y}));
}

QStringList FakeTrayHost::menuLabels() {
    const QDBusMessage reply = m_bus.call(
        itemCall(m_item.value_or(QString()), QStringLiteral("GetLayout"), {0, -1, QStringList()}));
    m_menu.clear();
    collectEntries(reply.arguments().value(1).value<QDBusArgument>(), m_menu);
    QStringList labels;
    for (const auto& [id, label] : std::as_const(m_menu)) {
        labels << label;
    }
    return labels;
}

bool FakeTrayHost::clickMenu(const QString& label) {
    const qsizetype index = menuLabels().indexOf(label);
    if (index < 0) {
        return false;
    }
    const int id = m_menu.at(index).first;
    return m_bus
               .call(itemCall(
                   m_item.value_or(QString()), QStringLiteral("Event"),
                   {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u}))
               .type() == QDBusMessage::ReplyMessage;
}
