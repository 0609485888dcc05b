// SPDX-License-Identifier: MIT
// veltrane-fake-polkit: stands in for polkit on a private bus. It owns
// org.freedesktop.PolicyKit1 and answers CheckAuthorization for a
// system-bus-name subject: authorised when the caller's uid is listed in the
// file after --allow-file (read at every question, so that a test can change
// its mind, as polkit's does when a session ends), the action is
// "com.veltrane.helper.throttle" and no interaction was asked for. Every
// question goes to stdout.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>

#include <cstdio>

namespace {

class FakeAuthority final : public QDBusVirtualObject {
public:
    explicit FakeAuthority(QString allowedFile)
        : m_allowedFile(std::move(allowedFile)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        if (message.member() != QLatin1String("CheckAuthorization") ||
            message.signature() != QLatin1String("(sa{sv})sa{ss}us")) {
            bus.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                         QStringLiteral("not faked")));
            return true;
        }
        const QDBusArgument subject = message.arguments().at(0).value<QDBusArgument>();
        QString kind;
        QVariantMap details;
        subject.beginStructure();
        subject >> kind >> details;
        subject.endStructure();
        const QString action = message.arguments().at(1).toString();
        const uint flags = message.arguments().at(3).toUInt();
        const QString name = details.value(QStringLiteral("name")).toString();
        const uint uid = bus.interface()->serviceUid(name).value();
        const bool authorized = kind == QLatin1String("system-bus-name") &&
                                action == QLatin1String("com.veltrane.helper.throttle") &&
                                flags == 0 && allowed().contains(uid);
        std::printf("fake-polkit: %s uid %u action %s flags %u -> %s\n", qPrintable(kind), uid,
                    qPrintable(action), flags, authorized ? "yes" : "no");
        std::fflush(stdout);

        QDBusArgument result;
        result.beginStructure();
        result << authorized << false;
        result.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
        result.endMap();
        result.endStructure();
        bus.send(message.createReply(QVariant::fromValue(result)));
        return true;
    }

private:
    QList<uint> allowed() const {
        QFile file(m_allowedFile);
        QList<uint> uids;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& uid : file.readAll().split(',')) {
                if (!uid.trimmed().isEmpty()) {
                    uids << uid.trimmed().toUInt();
                }
            }
        }
        return uids;
    }

    QString m_allowedFile;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--allow-file"));
    const QString allowed = at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
    QDBusConnection bus = QDBusConnection::connectToBus(
        qEnvironmentVariable("DBUS_STARTER_ADDRESS"), QStringLiteral("fake-polkit"));
    FakeAuthority authority(allowed);
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                                   &authority) ||
        !bus.registerService(QStringLiteral("org.freedesktop.PolicyKit1"))) {
        std::fprintf(stderr, "fake-polkit: cannot serve on the bus\n");
        return 1;
    }
    return QCoreApplication::exec();
}
