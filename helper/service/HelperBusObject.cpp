// SPDX-License-Identifier: MIT
#include "HelperBusObject.h"

#include "HelperInterfaceXml.h"
#include "HelperProtocol.h"
#include "HelperProtocolProxy.h"
#include "VeltraneHelper.h"

#include <QDBusArgument>
#include <QDBusMetaType>

#include <tuple>
#include <utility>

namespace {

using Proxy = ComVeltraneHelperProtocolInterface;

// A method of the proxy generated from the interface description gives the
// argument types and the reply types of that method.
template <typename ArgumentTuple, typename ReplyType>
struct InterfaceMethod {
    using Arguments = ArgumentTuple;
    using Reply = ReplyType;
};
// Picks the proxy's asynchronous overload, the one that returns every reply
// value; only declared, for decltype.
template <typename... Outs, typename... Ins>
InterfaceMethod<std::tuple<std::remove_cvref_t<Ins>...>, DelayedReply<Outs...>>
    interfaceMethod(QDBusPendingReply<Outs...> (Proxy::*)(Ins...));

template <typename Arguments>
QString signatureOf() {
    return std::apply(
        [](const auto&... types) {
            return (QString() + ... +
                    QString::fromLatin1(QDBusMetaType::typeToSignature(
                        QMetaType::fromType<std::remove_cvref_t<decltype(types)>>())));
        },
        Arguments{});
}

// A container (the a{sv} of named parameters) arrives still marshalled.
template <typename T>
T argumentAs(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        return qdbus_cast<T>(value.value<QDBusArgument>());
    }
    return qvariant_cast<T>(value);
}

// Only called once the signature has been checked, so every cast fits.
template <typename Arguments, size_t... I>
Arguments argumentsOf(const QVariantList& values, std::index_sequence<I...>) {
    return Arguments{argumentAs<std::tuple_element_t<I, Arguments>>(values.at(I))...};
}

// The handler must take the method's typed reply and its arguments, or this
// does not compile.
template <typename Method, auto handler>
HelperBusObject::Route route(const char* member) {
    using Arguments = typename Method::Arguments;
    return {
        QString::fromLatin1(member), signatureOf<Arguments>(),
        [](VeltraneHelper& helper, const QDBusMessage& message, const QDBusConnection& bus) {
            const typename Method::Reply reply(message, bus);
            std::apply(
                [&](const auto&... arguments) { (helper.*handler)(reply, arguments...); },
                argumentsOf<Arguments>(message.arguments(),
                                       std::make_index_sequence<std::tuple_size_v<Arguments>>()));
        }};
}

#define VELTRANE_ROUTE(name)                                                                       \
    route<decltype(interfaceMethod(&Proxy::name)), &VeltraneHelper::name>(#name)

std::vector<HelperBusObject::Route> helperRoutes() {
    return {VELTRANE_ROUTE(EnableThrottling),
            VELTRANE_ROUTE(DisableThrottling),
            VELTRANE_ROUTE(GetStatus),
            VELTRANE_ROUTE(ApplyThrottling),
            VELTRANE_ROUTE(RemoveThrottling),
            VELTRANE_ROUTE(IsThrottlingActive),
            VELTRANE_ROUTE(GetThrottlingConfiguration),
            VELTRANE_ROUTE(GetVersion),
            VELTRANE_ROUTE(HealthCheck),
            VELTRANE_ROUTE(EnableThrottlingAs),
            VELTRANE_ROUTE(EnableThrottlingWithParameters),
            VELTRANE_ROUTE(EndThrottle),
            VELTRANE_ROUTE(ReleaseThrottling),
            VELTRANE_ROUTE(GetState),
            VELTRANE_ROUTE(GetStatistics)};
}

void sendError(const QDBusConnection& connection, const QDBusMessage& call, const QString& name,
               const QString& text) noexcept {
    try {
        if (call.isReplyRequired()) {
            connection.send(call.createErrorReply(name, text));
        }
    } catch (...) {
        // Out of memory: the caller's call times out instead.
    }
}

} // namespace

HelperBusObject::HelperBusObject(VeltraneHelper& helper, QObject* parent)
    : QDBusVirtualObject(parent)
    , m_helper(helper)
    , m_routes(helperRoutes()) {}

QString HelperBusObject::introspect(const QString&) const {
    // Only the interface: the bus library wraps it in the node itself.
    const QString xml = QString::fromUtf8(kIntrospectionXml);
    const qsizetype begin = xml.indexOf(QStringLiteral("<interface"));
    const qsizetype end = xml.lastIndexOf(QStringLiteral("</interface>"));
    return begin < 0 || end < 0 ? QString() : xml.mid(begin, end + 12 - begin);
}

bool HelperBusObject::handleMessage(const QDBusMessage& message,
                                    const QDBusConnection& connection) {
    try {
        dispatch(message, connection);
    } catch (...) {
        // Never let an exception reach the bus library, which would end the
        // daemon; the caller gets a plain failure instead.
        sendError(connection, message, QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                  QStringLiteral("Internal error"));
    }
    return true;
}

void HelperBusObject::dispatch(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return;
    }
    const QString interface = message.interface();
    const QString member = message.member();
    const QString signature = message.signature();
    if (interface == QLatin1String("org.freedesktop.DBus.Introspectable") &&
        member == QLatin1String("Introspect") && signature.isEmpty()) {
        if (message.isReplyRequired()) {
            connection.send(message.createReply(QString::fromUtf8(kIntrospectionXml)));
        }
        return;
    }
    const Route* found = nullptr;
    if (interface.isEmpty() || interface == QLatin1String(HelperProtocol::kInterfaceName)) {
        for (const Route& candidate : m_routes) {
            if (candidate.member == member) {
                found = &candidate;
                break;
            }
        }
    }
    if (found == nullptr) {
        sendError(connection, message, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                  QStringLiteral("No method %1 on interface %2")
                      .arg(member, interface.isEmpty() ? QStringLiteral("(none)") : interface));
        return;
    }
    if (found->signature != signature) {
        sendError(connection, message, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                  QStringLiteral("%1 takes arguments of signature \"%2\", not \"%3\"")
                      .arg(member, found->signature, signature));
        return;
    }
    // To the helper's thread, whichever thread the bus library calls us on.
    QMetaObject::invokeMethod(
        &m_helper,
        [this, route = found, message, connection] {
            try {
                route->call(m_helper, message, connection);
            } catch (...) {
                sendError(connection, message, QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                          QStringLiteral("Internal error"));
            }
        },
        Qt::AutoConnection);
}
