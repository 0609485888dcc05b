// SPDX-License-Identifier: MIT
#include "FakeUserManager.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <stdexcept>

namespace {

// One row of ListUnitsByPatterns: (ssssssouso).
struct ListedUnit {
    QString name, description, loadState, activeState, subState, following;
    QDBusObjectPath path;
    uint jobId = 0;
    QString jobType;
    QDBusObjectPath jobPath{QStringLiteral("/")};
};

} // namespace

Q_DECLARE_METATYPE(ListedUnit)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const ListedUnit& unit) {
    argument.beginStructure();
    argument << unit.name << unit.description << unit.loadState << unit.activeState << unit.subState
             << unit.following << unit.path << unit.jobId << unit.jobType << unit.jobPath;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, ListedUnit& unit) {
    argument.beginStructure();
    argument >> unit.name >> unit.description >> unit.loadState >> unit.activeState >>
        unit.subState >> unit.following >> unit.path >> unit.jobId >> unit.jobType >> unit.jobPath;
    argument.endStructure();
    return argument;
}

const QString kPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kManager = QStringLiteral("org.freedesktop.systemd1.Manager");

// systemd's object path of a unit: every byte but letters and digits as _xx.
QString unitPath(const QString& unit) {
    QString label;
    for (const char c : unit.toUtf8()) {
        label += QChar::isLetterOrNumber(uchar(c)) && uchar(c) < 0x80
                     ? QString(QLatin1Char(c))
                     : QStringLiteral("_%1").arg(uint(uchar(c)), 2, 16, QLatin1Char('0'));
    }
    return kPath + QStringLiteral("/unit/") + label;
}

void write(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) < 0) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

} // namespace

FakeUserManager::FakeUserManager(QDBusConnection bus, QString hierarchy, QString procRoot)
    : m_bus(std::move(bus))
    , m_hierarchy(std::move(hierarchy))
    , m_procRoot(std::move(procRoot)) {
    qDBusRegisterMetaType<ListedUnit>();
    qDBusRegisterMetaType<QList<ListedUnit>>();
    if (!m_bus.registerVirtualObject(kPath, this, QDBusConnection::SubPath) ||
        !m_bus.registerService(QStringLiteral("org.freedesktop.systemd1"))) {
        throw std::runtime_error("cannot serve org.freedesktop.systemd1");
    }
}

FakeUserManager::~FakeUserManager() {
    leave();
}

void FakeUserManager::leave() {
    m_bus.unregisterService(QStringLiteral("org.freedesktop.systemd1"));
    m_bus.unregisterObject(kPath, QDBusConnection::UnregisterTree);
}

QString FakeUserManager::appCgroup(const QString& unit) {
    return QString::fromLatin1(kManagerCgroup) + QStringLiteral("/app.slice/") + unit;
}

void FakeUserManager::place(const QString& unit, const QString& cgroup, const QList<qint64>& pids) {
    m_units[unit] = {cgroup, QStringLiteral("active")};
    QByteArray procs;
    for (const qint64 pid : pids) {
        procs += QByteArray::number(pid) + '\n';
        write(m_procRoot + QStringLiteral("/%1/cgroup").arg(pid),
              "1:name=systemd:/" + cgroup.toUtf8() + "\n0::/" + cgroup.toUtf8() + '\n');
    }
    write(m_hierarchy + u'/' + cgroup + QStringLiteral("/cgroup.procs"), procs);
}

void FakeUserManager::addUnit(const QString& unit, const QList<qint64>& pids,
                              const QString& cgroup) {
    place(unit, cgroup.isEmpty() ? appCgroup(unit) : cgroup, pids);
    announce(QStringLiteral("UnitNew"),
             {unit, QVariant::fromValue(QDBusObjectPath(unitPath(unit)))});
}

void FakeUserManager::addStartingUnit(const QString& unit) {
    m_units[unit] = {QString(), QStringLiteral("activating")};
    announce(QStringLiteral("UnitNew"),
             {unit, QVariant::fromValue(QDBusObjectPath(unitPath(unit)))});
}

void FakeUserManager::finishStart(const QString& unit, const QList<qint64>& pids) {
    place(unit, appCgroup(unit), pids);
    announce(QStringLiteral("JobRemoved"),
             {7u, QVariant::fromValue(QDBusObjectPath(kPath + QStringLiteral("/job/7"))), unit,
              QStringLiteral("done")});
}

void FakeUserManager::removeUnit(const QString& unit) {
    QDir(m_hierarchy + u'/' + m_units.take(unit).cgroup).removeRecursively();
    announce(QStringLiteral("UnitRemoved"),
             {unit, QVariant::fromValue(QDBusObjectPath(unitPath(unit)))});
}

void FakeUserManager::announce(const QString& member, const QVariantList& arguments) {
    // As systemd: only while a client is subscribed.
    if (m_subscribers == 0) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kManager, member);
    signal.setArguments(arguments);
    m_bus.send(signal);
}

bool FakeUserManager::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    // The bus may call in on a thread of its own: answered on this one.
    QMetaObject::invokeMethod(
        this, [this, message] { answer(message); }, Qt::QueuedConnection);
    return true;
}

void FakeUserManager::answer(const QDBusMessage& message) {
    const QString member = message.member();
    m_calls << member;
    QDBusMessage reply = message.createErrorReply(
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member);
    if (member == QStringLiteral("ListUnitsByPatterns")) {
        reply = listUnits(message);
    } else if (member == QStringLiteral("Get")) {
        reply = property(message);
    } else if (member == QStringLiteral("Subscribe")) {
        ++m_subscribers;
        reply = message.createReply();
    } else if (member == QStringLiteral("Unsubscribe")) {
        m_subscribers = std::max(0, m_subscribers - 1);
        reply = message.createReply();
    } else if (member == QStringLiteral("StartTransientUnit")) {
        reply = startTransientUnit(message);
    }
    m_bus.send(reply);
}

QDBusMessage FakeUserManager::listUnits(const QDBusMessage& message) const {
    const QStringList states = message.arguments().value(0).toStringList();
    const QStringList patterns = message.arguments().value(1).toStringList();
    QList<ListedUnit> rows;
    for (auto unit = m_units.constBegin(); unit != m_units.constEnd(); ++unit) {
        const bool matches = std::any_of(patterns.begin(), patterns.end(), [&](const QString& p) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(p))
                .match(unit.key())
                .hasMatch();
        });
        if (matches && (states.isEmpty() || states.contains(unit->activeState))) {
            ListedUnit row;
            row.name = unit.key();
            row.loadState = QStringLiteral("loaded");
            row.activeState = unit->activeState;
            row.path = QDBusObjectPath(unitPath(unit.key()));
            rows << row;
        }
    }
    return message.createReply(QVariant::fromValue(rows));
}

QDBusMessage FakeUserManager::property(const QDBusMessage& message) const {
    if (message.arguments().value(1).toString() != QStringLiteral("ControlGroup")) {
        return message.createErrorReply(
            QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
            message.arguments().value(1).toString());
    }
    QString cgroup;
    if (message.path() == kPath) {
        cgroup = QString::fromLatin1(kManagerCgroup);
    } else {
        const auto unit =
            std::find_if(m_units.keyBegin(), m_units.keyEnd(),
                         [&](const QString& name) { return unitPath(name) == message.path(); });
        if (unit == m_units.keyEnd()) {
            return message.createErrorReply(QStringLiteral("org.freedesktop.systemd1.NoSuchUnit"),
                                            message.path());
        }
        cgroup = m_units.value(*unit).cgroup;
    }
    return message.createReply(
        QVariant::fromValue(QDBusVariant(cgroup.isEmpty() ? QString() : u'/' + cgroup)));
}

QDBusMessage FakeUserManager::startTransientUnit(const QDBusMessage& message) {
    const QString unit = message.arguments().value(0).toString();
    QList<quint32> pids;
    const QDBusArgument properties = message.arguments().value(2).value<QDBusArgument>();
    properties.beginArray();
    while (!properties.atEnd()) {
        QString name;
        QDBusVariant value;
        properties.beginStructure();
        properties >> name >> value;
        properties.endStructure();
        if (name == QStringLiteral("PIDs")) {
            pids = qdbus_cast<QList<quint32>>(value.variant());
        }
    }
    properties.endArray();
    m_started.insert(unit, pids);
    addUnit(unit, QList<qint64>(pids.begin(), pids.end()));
    return message.createReply(
        QVariant::fromValue(QDBusObjectPath(kPath + QStringLiteral("/job/1"))));
}
