// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"

#include "HelperProtocol.h"

HelperOnPrivateBus::HelperOnPrivateBus(const QStringList& extraArguments)
    : m_bus({{QString::fromUtf8(HelperProtocol::kServiceName),
              QStringList{sandboxDaemonPath(), QStringLiteral("--root"),
                          QString::fromStdString(m_tools.root())} +
                  extraArguments}}) {}

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
