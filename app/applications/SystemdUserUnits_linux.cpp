// SPDX-License-Identifier: MIT
#include "SystemdUserUnits.h"
#include "TransientScopeCall.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QStringList>

namespace {

const QString kService = QStringLiteral("org.freedesktop.systemd1");
const QString kPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kManager = QStringLiteral("org.freedesktop.systemd1.Manager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QDBusMessage managerCall(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kManager, method);
}

UserUnitsError failure(const QString& method, const QDBusMessage& reply) {
    const QString name = reply.errorName();
    if (name == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return {UserUnitsError::Cause::noUserManager,
                QStringLiteral("systemd's user manager does not run on the session bus (%1)")
                    .arg(reply.errorMessage())};
    }
    if (name == QStringLiteral("org.freedesktop.DBus.Error.Disconnected")) {
        return {UserUnitsError::Cause::noSessionBus,
                QStringLiteral("The session bus is gone (%1)").arg(reply.errorMessage())};
    }
    return {UserUnitsError::Cause::callFailed,
            QStringLiteral("systemd's user manager did not answer %1: %2")
                .arg(method, reply.errorMessage())};
}

void throwIfError(const QDBusMessage& call, const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage) {
        throw failure(call.member(), reply);
    }
}

QString withoutLeadingSlash(QString cgroup) {
    return cgroup.startsWith(u'/') ? cgroup.mid(1) : cgroup;
}

} // namespace

SystemdUserUnits::SystemdUserUnits(QDBusConnection bus, std::chrono::milliseconds timeout,
                                   QObject* parent)
    : UserUnits(parent)
    , m_bus(std::move(bus))
    , m_timeoutMs(int(timeout.count())) {
    // QtDBus finds a slot for a signal by the names of its argument types,
    // which it knows once they are registered: until then, now and then, a
    // connect failed and no signal ever came.
    qRegisterMetaType<QDBusObjectPath>();
}

SystemdUserUnits::~SystemdUserUnits() {
    stopFollowing();
}

QCoro::Task<QDBusMessage> SystemdUserUnits::call(QDBusMessage message) {
    if (!m_bus.isConnected()) {
        const QString why = m_bus.lastError().message();
        throw UserUnitsError(UserUnitsError::Cause::noSessionBus,
                             QStringLiteral("There is no session bus to ask systemd's user "
                                            "manager on (%1)")
                                 .arg(why.isEmpty() ? QStringLiteral("not connected") : why));
    }
    co_return co_await QDBusPendingCall(m_bus.asyncCall(message, m_timeoutMs));
}

// By value: the reply is awaited after the caller's arguments are gone.
QCoro::Task<QString> SystemdUserUnits::cgroupProperty(QString path, QString interface) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("Get"));
    get << interface << QStringLiteral("ControlGroup");
    const QDBusMessage reply = co_await call(get);
    // A unit that went meanwhile has no cgroup any more.
    if (reply.errorName() == QStringLiteral("org.freedesktop.systemd1.NoSuchUnit") ||
        reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.UnknownObject")) {
        co_return QString();
    }
    throwIfError(get, reply);
    const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
    if (value.userType() != QMetaType::QString) {
        throw UserUnitsError(UserUnitsError::Cause::callFailed,
                             QStringLiteral("systemd's user manager gave no text for the "
                                            "ControlGroup of %1")
                                 .arg(path));
    }
    co_return withoutLeadingSlash(value.toString());
}

QCoro::Task<QString> SystemdUserUnits::managerCgroup() {
    return cgroupProperty(kPath, kManager);
}

QCoro::Task<QList<UserUnit>> SystemdUserUnits::applicationUnits() {
    QDBusMessage list = managerCall(QStringLiteral("ListUnitsByPatterns"));
    list << QStringList{QStringLiteral("active"), QStringLiteral("activating"),
                        QStringLiteral("reloading")}
         << QStringList{QStringLiteral("app-*.scope"), QStringLiteral("app-*.service")};
    const QDBusMessage reply = co_await call(list);
    throwIfError(list, reply);
    if (reply.signature() != QStringLiteral("a(ssssssouso)")) {
        throw UserUnitsError(
            UserUnitsError::Cause::callFailed,
            QStringLiteral("systemd's user manager listed its units as %1").arg(reply.signature()));
    }
    QList<UserUnit> units;
    const QDBusArgument rows = reply.arguments().constFirst().value<QDBusArgument>();
    rows.beginArray();
    while (!rows.atEnd()) {
        QString name, description, loadState, activeState, subState, following, jobType;
        QDBusObjectPath path, jobPath;
        uint jobId = 0;
        rows.beginStructure();
        rows >> name >> description >> loadState >> activeState >> subState >> following >> path >>
            jobId >> jobType >> jobPath;
        rows.endStructure();
        units << UserUnit{name, path.path()};
    }
    rows.endArray();
    co_return units;
}

QCoro::Task<QString> SystemdUserUnits::cgroupOf(const UserUnit& unit) {
    // The interface is named after the unit's type: "a.scope" has Scope's.
    const QString type = unit.name.mid(unit.name.lastIndexOf(u'.') + 1);
    return cgroupProperty(unit.objectPath, QStringLiteral("org.freedesktop.systemd1.") +
                                               type.left(1).toUpper() + type.mid(1));
}

bool SystemdUserUnits::linkSignals(bool linked) {
    const auto link = [this, linked](const QString& name, const char* slot) {
        return linked ? m_bus.connect(kService, kPath, kManager, name, this, slot)
                      : m_bus.disconnect(kService, kPath, kManager, name, this, slot);
    };
    // Each of them, even when one fails.
    const bool unitNew =
        link(QStringLiteral("UnitNew"), SLOT(unitNewSignalled(QString, QDBusObjectPath)));
    const bool unitRemoved =
        link(QStringLiteral("UnitRemoved"), SLOT(unitRemovedSignalled(QString, QDBusObjectPath)));
    const bool jobRemoved =
        link(QStringLiteral("JobRemoved"),
             SLOT(jobRemovedSignalled(uint, QDBusObjectPath, QString, QString)));
    return unitNew && unitRemoved && jobRemoved;
}

QCoro::Task<> SystemdUserUnits::follow() {
    if (!m_following && m_bus.isConnected()) {
        m_following = true;
        // Before Subscribe, so that nothing it lets the manager send is missed.
        if (!linkSignals(true)) {
            stopFollowing();
            throw UserUnitsError(UserUnitsError::Cause::callFailed,
                                 QStringLiteral("The signals of systemd's user manager cannot be "
                                                "followed on this bus connection"));
        }
        m_managerWatcher = std::make_unique<QDBusServiceWatcher>(
            kService, m_bus, QDBusServiceWatcher::WatchForUnregistration);
        connect(m_managerWatcher.get(), &QDBusServiceWatcher::serviceUnregistered, this,
                &UserUnits::managerLost);
    }
    const QDBusMessage subscribe = managerCall(QStringLiteral("Subscribe"));
    throwIfError(subscribe, co_await call(subscribe));
}

void SystemdUserUnits::stopFollowing() {
    if (!m_following) {
        return;
    }
    m_following = false;
    linkSignals(false);
    m_managerWatcher.reset();
    // The manager sends its signals only while a client is subscribed; the
    // answer tells nothing worth waiting for.
    if (m_bus.isConnected()) {
        m_bus.asyncCall(managerCall(QStringLiteral("Unsubscribe")), m_timeoutMs);
    }
}

QCoro::Task<> SystemdUserUnits::startScope(const QString& unit, qint64 pid,
                                           const QString& description) {
    const QDBusMessage start = transientScopeCall(unit, pid, description);
    throwIfError(start, co_await call(start));
}

void SystemdUserUnits::unitNewSignalled(const QString& unit, const QDBusObjectPath&) {
    Q_EMIT unitNew(unit);
}

void SystemdUserUnits::unitRemovedSignalled(const QString& unit, const QDBusObjectPath&) {
    Q_EMIT unitRemoved(unit);
}

void SystemdUserUnits::jobRemovedSignalled(uint, const QDBusObjectPath&, const QString& unit,
                                           const QString& result) {
    Q_EMIT jobRemoved(unit, result);
}
