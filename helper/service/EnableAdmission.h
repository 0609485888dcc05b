// SPDX-License-Identifier: MIT
#pragma once

#include "CgroupMembers.h"
#include "EnableRequest.h"

#include <QString>

#include <functional>
#include <string>

class Authorization;
class ConnectionLog;
class Logger;

// Decides whether an enable may reach the engine: first who asks, then what
// is asked, then whether it can be done here at all.
class EnableAdmission final {
public:
    // The request comes back with the caller's uid and pid filled in.
    using Admitted = std::function<void(EnableRequest request)>;
    using Refused = std::function<void(const EnableRequest& request, const char* errorName,
                                       const QString& failure)>;

    // `engineFailure` says why there is no engine; empty when there is one.
    // A command's cgroup is looked up in `cgroups`.
    EnableAdmission(const Logger& logger, Authorization& authorization,
                    const ConnectionLog& connections, QString engineFailure,
                    CgroupHierarchy cgroups);

    // Calls exactly one of `admitted` and `refused`, on this thread,
    // possibly before it returns.
    void admit(EnableRequest request, Admitted admitted, Refused refused);

private:
    const Logger& m_logger;
    Authorization& m_authorization;
    const ConnectionLog& m_connections;
    const QString m_engineFailure;
    const CgroupHierarchy m_cgroups;
};
