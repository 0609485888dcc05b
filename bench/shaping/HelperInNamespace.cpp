// SPDX-License-Identifier: MIT
#include "HelperInNamespace.h"

#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"
#include "NetnsPair.h"
#include "ParameterDictionary.h"
#include "ScheduleDictionary.h"

#include <QDBusMetaType>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

std::unique_ptr<HelperOnPrivateBus> startedIn(const NetnsPair& pair) {
    qDBusRegisterMetaType<QList<QVariantMap>>();
    std::unique_ptr<HelperOnPrivateBus> helper;
    {
        // The bus, and so the daemon it starts, live in the shaped side.
        const NetnsScope scope(pair.fd(NetnsPair::Side::shaped));
        helper = std::make_unique<HelperOnPrivateBus>(HelperOnPrivateBus::Options{
            {"--backend", "tc", "--interfaces", "vt0", "--netlink"}, std::nullopt, {}});
    }
    for (const std::string tool : {"/usr/sbin/tc", "/usr/sbin/ip"}) {
        std::filesystem::remove(helper->tools().path(tool));
        std::filesystem::create_symlink(tool, helper->tools().path(tool));
    }
    return helper;
}

} // namespace

HelperInNamespace::HelperInNamespace(const NetnsPair& pair)
    : m_helper(startedIn(pair))
    , m_client(m_helper->bus().connect(QStringLiteral("schedule-bench"))) {}

HelperInNamespace::~HelperInNamespace() = default;

double HelperInNamespace::enable(const ThrottleParameters& base, const ThrottleSchedule& schedule) {
    QVariantMap parameters = ParameterDictionary::toWire(base);
    parameters.insert(QString::fromUtf8(HelperProtocol::kScheduleKey),
                      ScheduleDictionary::toWire(schedule));
    const QDBusMessage reply =
        HelperOnPrivateBus::call(m_client, QStringLiteral("EnableThrottlingWithParameters"),
                                 {parameters, QStringLiteral("schedule bench"), false}, 30'000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        throw std::runtime_error("the helper refused the schedule: " +
                                 reply.errorMessage().toStdString());
    }
    const QVariantList throttles = HelperOnPrivateBus::state(m_client)
                                       .value(QString::fromUtf8(HelperProtocol::State::kThrottles))
                                       .toList();
    const QVariantMap standing = throttles.value(0)
                                     .toMap()
                                     .value(QString::fromUtf8(HelperProtocol::Throttle::kSchedule))
                                     .toMap();
    if (!standing.contains(QString::fromUtf8(ScheduleDictionary::kStartedAt))) {
        throw std::runtime_error("the helper's state shows no schedule");
    }
    return standing.value(QString::fromUtf8(ScheduleDictionary::kStartedAt)).toDouble();
}

void HelperInNamespace::disable() {
    HelperOnPrivateBus::call(m_client, QStringLiteral("DisableThrottling"));
}

double HelperInNamespace::cpuSeconds() {
    const qint64 pid = m_helper->bus().ownerPid(QString::fromUtf8(HelperProtocol::kServiceName));
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    // utime, stime, cutime and cstime: the 14th to 17th fields, the 12th to
    // 15th after the command's name and the state.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::vector<long long> values;
    for (std::string field; fields >> field;) {
        values.push_back(std::atoll(field.c_str()));
    }
    if (values.size() < 15) {
        throw std::runtime_error("cannot read the helper's processor time");
    }
    return static_cast<double>(values[11] + values[12] + values[13] + values[14]) /
           static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::string HelperInNamespace::output() const {
    return m_helper->bus().output().toStdString();
}
