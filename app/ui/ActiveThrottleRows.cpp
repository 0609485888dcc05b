// SPDX-License-Identifier: MIT
#include "ActiveThrottleRows.h"

#include "ApplyPreconditions.h"
#include "ThrottleDescription.h"

#include <QVariantMap>

#include <algorithm>

namespace ActiveThrottleRows {

std::vector<ActiveThrottleRow> rowsOf(const ThrottleState& state, ApplicationNames* names) {
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
        const auto beside = state.besideProfiles.constFind(throttle.id);
        row.title = row.isOwn && beside != state.besideProfiles.constEnd() ? *beside
                    : row.isOwn && !standsBeside(throttle.scope) && runs(profile)
                        ? profile->name
                        : ThrottleDescription::conditions(throttle.configuration);
        row.scope = ThrottleDescription::scope(throttle.scope);
        const auto launched = state.launchedCommands.constFind(throttle.id);
        if (row.isOwn && launched != state.launchedCommands.constEnd()) {
            row.scope = QStringLiteral("Only %1").arg(*launched);
        }
        if (throttle.scope.kind() == ThrottleScope::Kind::application) {
            const QString desktopId = QString::fromStdString(throttle.scope.application);
            const ApplicationNames::Label label =
                names ? names->labelOf(desktopId) : ApplicationNames::Label{desktopId, {}};
            row.applicationName = label.name;
            row.iconName = label.iconName;
            const qsizetype scopes = qsizetype(throttle.scope.cgroups.size());
            row.scope = scopes == 0 ? QStringLiteral("Waiting for %1").arg(label.name)
                        : scopes == 1
                            ? QStringLiteral("Only %1").arg(label.name)
                            : QStringLiteral("Only %1 · %2 instances").arg(label.name).arg(scopes);
        }
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
    return state.isEnabled && (state.throttles.size() > 1 ||
                               std::any_of(state.throttles.begin(), state.throttles.end(),
                                           [](const HelperThrottle& throttle) {
                                               return standsBeside(throttle.scope);
                                           }));
}

QVariantList toVariant(const std::vector<ActiveThrottleRow>& rows) {
    QVariantList list;
    for (const ActiveThrottleRow& row : rows) {
        list.append(QVariantMap{{QStringLiteral("id"), row.id},
                                {QStringLiteral("title"), row.title},
                                {QStringLiteral("scope"), row.scope},
                                {QStringLiteral("detail"), row.detail},
                                {QStringLiteral("isOwn"), row.isOwn},
                                {QStringLiteral("applicationName"), row.applicationName},
                                {QStringLiteral("iconName"), row.iconName}});
    }
    return list;
}

} // namespace ActiveThrottleRows
