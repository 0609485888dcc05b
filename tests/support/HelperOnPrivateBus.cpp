// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"

#include "HelperProtocol.h"

#include <QDBusArgument>
#include <QFile>
#include <QStringList>

namespace {

// Beside the sandbox's root, where the daemon never looks.
QString polkitAllowsFile(const FakeToolSandbox& tools) {
    return QString::fromStdString(tools.root()) + QStringLiteral(".polkit-allows");
}

void writeAllows(const FakeToolSandbox& tools, const QList<uint>& uids) {
    QStringList list;
    for (const uint uid : uids) {
        list << QString::number(uid);
    }
    QFile file(polkitAllowsFile(tools));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(list.join(QLatin1Char(',')).toUtf8());
    }
}

QList<PrivateBus::Service> services(const FakeToolSandbox& tools,
                                    const HelperOnPrivateBus::Options& options) {
    QList<PrivateBus::Service> list{
        {QString::fromUtf8(HelperProtocol::kServiceName),
         QStringList{HelperOnPrivateBus::sandboxDaemonPath(), QStringLiteral("--root"),
                     QString::fromStdString(tools.root())} +
             options.extraArguments}};
    if (options.polkitAllows) {
        writeAllows(tools, *options.polkitAllows);
        list.append({QStringLiteral("org.freedesktop.PolicyKit1"),
                     {QStringLiteral(VELTRANE_FAKE_POLKIT_PATH), QStringLiteral("--allow-file"),
                      polkitAllowsFile(tools)}});
    }
    return list;
}

} // namespace

HelperOnPrivateBus::HelperOnPrivateBus()
    : HelperOnPrivateBus(Options{}) {}

HelperOnPrivateBus::HelperOnPrivateBus(const Options& options)
    : m_bus(services(m_tools, options), options.policy) {}

HelperOnPrivateBus::~HelperOnPrivateBus() {
    QFile::remove(polkitAllowsFile(m_tools));
}

void HelperOnPrivateBus::setPolkitAllows(const QList<uint>& uids) {
    writeAllows(m_tools, uids);
}

QDBusMessage HelperOnPrivateBus::methodCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString::fromUtf8(HelperProtocol::kServiceName),
                                       QString::fromUtf8(HelperProtocol::kObjectPath),
                                       QString::fromUtf8(HelperProtocol::kInterfaceName), method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage HelperOnPrivateBus::call(QDBusConnection& client, const QString& method,
                                      const QVariantList& arguments, int timeoutMs) {
    return client.call(methodCall(method, arguments), QDBus::Block, timeoutMs);
}

QString HelperOnPrivateBus::sandboxDaemonPath() {
    return QStringLiteral(VELTRANE_HELPER_SANDBOX_PATH);
}

QVariantMap HelperOnPrivateBus::state(QDBusConnection& client) {
    return unpackedMap(call(client, QStringLiteral("GetState")).arguments().value(0));
}

QVariantMap unpackedMap(const QVariant& value) {
    QVariantMap map = value.typeId() == qMetaTypeId<QDBusArgument>()
                          ? qdbus_cast<QVariantMap>(value.value<QDBusArgument>())
                          : value.toMap();
    for (auto entry = map.begin(); entry != map.end(); ++entry) {
        if (entry->typeId() != qMetaTypeId<QDBusArgument>()) {
            continue;
        }
        if (entry->value<QDBusArgument>().currentSignature() == QLatin1String("aa{sv}")) {
            // A list of dictionaries, such as the state's throttles.
            QVariantList list;
            for (const QVariantMap& each :
                 qdbus_cast<QList<QVariantMap>>(entry->value<QDBusArgument>())) {
                list.append(unpackedMap(each));
            }
            *entry = list;
        } else {
            *entry = unpackedMap(*entry);
        }
    }
    return map;
}

HelperStateSignals::HelperStateSignals(QDBusConnection connection) {
    // QtDBus 6.4 subscribes to bus signals only by slot signature.
    connection.connect(QString::fromUtf8(HelperProtocol::kServiceName),
                       QString::fromUtf8(HelperProtocol::kObjectPath),
                       QString::fromUtf8(HelperProtocol::kInterfaceName),
                       QStringLiteral("StateChanged"), this, SLOT(stateChanged(QVariantMap)));
}

void HelperStateSignals::stateChanged(const QVariantMap& state) {
    m_received.append(unpackedMap(state));
}
