// SPDX-License-Identifier: MIT
#include "ActiveThrottleRows.h"

#include "ApplyPreconditions.h"
#include "ThrottleDescription.h"

#include <QVariantMap>

namespace ActiveThrottleRows {

std::vector<ActiveThrottleRow> rowsOf(const ThrottleState& state) {
    std::vector<ActiveThrottleRow> rows;
    if (!state.isEnabled) {
        return rows;
    }
    for (const HelperThrottle& throttle : state.throttles) {
        ActiveThrottleRow row;
        row.id = QString::number(throttle.id);
        row.isOwn = throttle.owner.isThisClient;
        // The profile's name only where it is known to run: this
        // application's throttle with exactly the conditions and scope kind
        // of the profile it applied (the selection, while another client's
        // throttle is the one the helper names).
        const auto runs = [&throttle](const std::optional<ThrottleProfile>& profile) {
            return profile && profile->destinations.empty() == throttle.scope.isMachine() &&
                   ApplyPreconditions::parametersOf(*profile) ==
                       std::optional(throttle.configuration);
        };
        const std::optional<ThrottleProfile>& profile =
            runs(state.currentProfile) ? state.currentProfile : state.selectedProfile;
        row.title = row.isOwn && runs(profile)
                        ? profile->name
                        : ThrottleDescription::conditions(throttle.configuration);
        row.scope = ThrottleDescription::scope(throttle.scope);
        row.detail = ThrottleDescription::owner(throttle.owner);
        if (throttle.owner.since.isValid()) {
            row.detail += QStringLiteral(" · since ") +
                          throttle.owner.since.toLocalTime().toString(QStringLiteral("HH:mm"));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool listed(const ThrottleState& state) {
    return state.isEnabled && state.throttles.size() > 1;
}

QVariantList toVariant(const std::vector<ActiveThrottleRow>& rows) {
    QVariantList list;
    for (const ActiveThrottleRow& row : rows) {
        list.append(QVariantMap{{QStringLiteral("id"), row.id},
                                {QStringLiteral("title"), row.title},
                                {QStringLiteral("scope"), row.scope},
                                {QStringLiteral("detail"), row.detail},
                                {QStringLiteral("isOwn"), row.isOwn}});
    }
    return list;
}

} // namespace ActiveThrottleRows
