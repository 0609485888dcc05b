// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"

#include "HelperProtocol.h"

namespace {

QList<PrivateBus::Service> services(const std::string& root,
                                    const HelperOnPrivateBus::Options& options) {
    QList<PrivateBus::Service> list{
        {QString::fromUtf8(HelperProtocol::kServiceName),
         QStringList{HelperOnPrivateBus::sandboxDaemonPath(), QStringLiteral("--root"),
                     QString::fromStdString(root)} +
             options.extraArguments}};
    if (options.polkitAllows) {
        QStringList uids;
        for (const uint uid : *options.polkitAllows) {
            uids << QString::number(uid);
        }
        list.append({QStringLiteral("org.freedesktop.PolicyKit1"),
                     {QStringLiteral(VELTRANE_FAKE_POLKIT_PATH), QStringLiteral("--allow"),
                      uids.join(QLatin1Char(','))}});
    }
    return list;
}

} // namespace

HelperOnPrivateBus::HelperOnPrivateBus()
    : HelperOnPrivateBus(Options{}) {}

HelperOnPrivateBus::HelperOnPrivateBus(const Options& options)
    : m_bus(services(m_tools.root(), options), options.policy) {}

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
