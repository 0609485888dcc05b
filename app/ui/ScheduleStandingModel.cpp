// SPDX-License-Identifier: MIT
#include "ScheduleStandingModel.h"

#include "SchedulePicture.h"
#include "ScheduleStandingText.h"

namespace {

// Only the profile that plays exactly this schedule is drawn: a profile
// edited since it was applied may have other phases.
bool plays(const ThrottleProfile& profile, const ScheduleDictionary::Standing& standing) {
    const ProfileSchedule& schedule = profile.schedule;
    return standing.isTrace ? schedule.phases.empty() && !schedule.trace.empty()
                            : std::int64_t(schedule.phases.size()) == standing.phaseCount &&
                                  schedule.repeat == standing.repeat;
}

} // namespace

ScheduleStandingModel::ScheduleStandingModel(ThrottleService& throttleService,
                                             ThrottleService::Clock clock, QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService)
    , m_clock(std::move(clock)) {
    connect(&m_throttleService, &ThrottleService::stateChanged, this,
            &ScheduleStandingModel::refresh);
    refresh();
}

QString ScheduleStandingModel::pictureName() const {
    return m_profile ? QStringLiteral("Schedule: ") + m_profile->schedule.description() : QString();
}

const HelperThrottle* ScheduleStandingModel::cardThrottle() const {
    const ThrottleState& state = m_throttleService.state();
    if (!state.isEnabled) {
        return nullptr;
    }
    for (const HelperThrottle& throttle : state.throttles) {
        if (throttle.owner.isThisClient && throttle.schedule) {
            return &throttle;
        }
    }
    if (state.throttles.size() == 1 && state.throttles.front().schedule) {
        return &state.throttles.front();
    }
    return nullptr;
}

void ScheduleStandingModel::refresh() {
    const HelperThrottle* throttle = cardThrottle();
    const std::optional<ThrottleProfile>& current = m_throttleService.state().currentProfile;
    std::optional<ThrottleProfile> profile;
    if (throttle && throttle->owner.isThisClient && current &&
        plays(*current, *throttle->schedule)) {
        profile = current;
    }
    if (profile != m_profile) {
        m_profile = std::move(profile);
        m_segments.clear();
        m_curve.clear();
        if (m_profile) {
            for (const SchedulePicture::Segment& segment :
                 SchedulePicture::segments(m_profile->schedule)) {
                m_segments.append(QVariantMap{{QStringLiteral("start"), segment.start},
                                              {QStringLiteral("width"), segment.width},
                                              {QStringLiteral("outage"), segment.outage},
                                              {QStringLiteral("name"), segment.name}});
            }
            for (const double height :
                 SchedulePicture::curve(m_profile->schedule.trace, kCurveBars)) {
                m_curve.append(height);
            }
        }
        Q_EMIT pictureChanged();
    }
    tick();
}

void ScheduleStandingModel::tick() {
    const std::int64_t nowMs = m_clock().toMSecsSinceEpoch();
    const HelperThrottle* throttle = cardThrottle();
    const QString text =
        throttle ? ScheduleStandingText::line(*throttle->schedule, nowMs) : QString();
    const double marker =
        m_profile && throttle
            ? SchedulePicture::marker(m_profile->schedule, nowMs - throttle->schedule->startedAt)
            : 0.0;
    QVariantMap rowLines;
    if (m_throttleService.state().isEnabled) {
        for (const HelperThrottle& each : m_throttleService.state().throttles) {
            if (each.schedule) {
                rowLines.insert(QString::number(each.id),
                                ScheduleStandingText::line(*each.schedule, nowMs));
            }
        }
    }
    if (text != m_text || marker != m_marker || rowLines != m_rowLines) {
        m_text = text;
        m_marker = marker;
        m_rowLines = std::move(rowLines);
        Q_EMIT changed();
    }
}
