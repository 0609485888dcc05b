// SPDX-License-Identifier: MIT
#include "EnableAdmission.h"

#include "ApplicationCgroups.h"
#include "Authorization.h"
#include "CgroupMembers.h"
#include "ConnectionLog.h"
#include "HelperProtocol.h"
#include "Logger.h"
#include "ThrottleOwnership.h"

#include <string>
#include <utility>

namespace {

namespace Error = HelperProtocol::Error;

// A caller the bus could not name is no one who owns a process.
constexpr uint kNobody = 65534;

const QString kNotAuthorized = QStringLiteral("Not authorized to change network throttling");

} // namespace

EnableAdmission::EnableAdmission(const Logger& logger, Authorization& authorization,
                                 const ConnectionLog& connections, QString engineFailure,
                                 CgroupHierarchy cgroups)
    : m_logger(logger)
    , m_authorization(authorization)
    , m_connections(connections)
    , m_engineFailure(std::move(engineFailure))
    , m_cgroups(std::move(cgroups)) {}

void EnableAdmission::admit(EnableRequest request, Admitted admitted, Refused refused) {
    // Who asks is settled before what is asked: a refused caller learns
    // nothing about the values.
    const QString caller = request.caller;
    m_authorization.check(caller, [this, request = std::move(request),
                                   admitted = std::move(admitted), refused = std::move(refused)](
                                      Authorization::Decision decision) mutable {
        if (!decision.allowed) {
            m_logger.log("Authorization denied for uid " +
                         (decision.uid ? std::to_string(*decision.uid) : std::string("unknown")));
            refused(request, Error::kNotAuthorized, kNotAuthorized);
            return;
        }
        if (!isAcceptableDescription(request.description)) {
            refused(request, Error::kInvalidArguments,
                    QStringLiteral("A description is one line of at most %1 characters")
                        .arg(HelperProtocol::kMaxDescriptionLength));
            return;
        }
        if (!request.unreadable.isEmpty()) {
            m_logger.log("Validation failed: " + request.unreadable.toStdString());
            refused(request, Error::kInvalidArguments, request.unreadable);
            return;
        }
        if (const auto failure = request.parameters.check()) {
            m_logger.log("Validation failed: " + *failure);
            refused(request, Error::kInvalidArguments, QString::fromStdString(*failure));
            return;
        }
        const uint uid = decision.uid.value_or(kNobody);
        if (request.scope.kind() == ThrottleScope::Kind::application) {
            if (m_cgroups.checksFileSystem && !CgroupHierarchy::isOnCgroup2(m_cgroups.root)) {
                const QString why = QStringLiteral(
                    "Throttling one application needs the cgroup v2 hierarchy, which this host "
                    "does not mount");
                m_logger.log("Refused: " + why.toStdString());
                refused(request, Error::kInvalidArguments, why);
                return;
            }
            // Only the caller's own manager's scopes, each the caller's:
            // another user's application is never found.
            request.scope.cgroups =
                ApplicationCgroups(m_cgroups, "/proc").find(uid, request.scope.application);
        }
        if (request.scope.kind() == ThrottleScope::Kind::command) {
            // Read here, after the caller is known: whether it may take
            // these processes depends on whose they are.
            if (const auto refusal =
                    cgroupRefusal(m_cgroups, "/proc", request.scope.cgroups.front(), uid)) {
                m_logger.log("Refused: " + refusal->message.toStdString());
                refused(request,
                        refusal->notAuthorized ? Error::kNotAuthorized : Error::kInvalidArguments,
                        refusal->message);
                return;
            }
        }
        if (!m_engineFailure.isEmpty()) {
            m_logger.log("Failed to enable throttling: " + m_engineFailure.toStdString());
            refused(request, Error::kFailed, m_engineFailure);
            return;
        }
        if (request.hold && !m_connections.isWatching()) {
            refused(request, Error::kFailed,
                    QStringLiteral("The helper cannot see clients leave, so it cannot hold "
                                   "throttling for one"));
            return;
        }
        request.uid = decision.uid.value_or(0);
        request.pid = decision.pid.value_or(0);
        admitted(std::move(request));
    });
}
