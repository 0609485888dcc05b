// SPDX-License-Identifier: MIT
#include "ScheduleEditorModel.h"

#include "LiveFigureText.h"
#include "NumberText.h"
#include "PacketDeliveryTrace.h"
#include "ThrottleDescription.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array<std::int64_t, 5> kStepChoicesMs = {100, 200, 250, 500, 1000};

// A phase's conditions as a save keeps them, so that a phase copied from a
// profile still matches it after the round trip through the form.
NetworkConditions asSaved(const NetworkConditions& conditions) {
    return ProfileFormData::conditionsOf(ProfileFormData::inputsShowing(conditions));
}

// "30", "0.5": as few digits as the duration needs.
QString secondsText(std::int64_t ms) {
    return QString::number(double(ms) / 1000.0, 'g', 12);
}

QString rateText(std::int64_t bytesPerSecond) {
    return LiveFigureText::rate(double(bytesPerSecond) * 8.0);
}

// The form's messages about phase `index`: ValidationResult names it
// "Phase 2: …" or "Phase 2 (3G): …".
QString messageAbout(const QStringList& errors, std::size_t index) {
    const QString number = QStringLiteral("Phase %1").arg(index + 1);
    QStringList lines;
    for (const QString& error : errors) {
        if (error.startsWith(number + QLatin1Char(':')) ||
            error.startsWith(number + QStringLiteral(" ("))) {
            lines << error;
        }
    }
    return lines.join(u'\n');
}

} // namespace

ScheduleEditorModel::ScheduleEditorModel(ProfileEditorFields& fields,
                                         ProfileEditorMessages& messages,
                                         ProfileManager& profileManager, QObject* parent)
    : QObject(parent)
    , m_fields(fields)
    , m_messages(messages)
    , m_profileManager(profileManager) {
    connect(&m_fields, &ProfileEditorFields::changed, this, &ScheduleEditorModel::refresh);
    connect(&m_messages, &ProfileEditorMessages::changed, this, &ScheduleEditorModel::refresh);
    connect(&m_profileManager, &ProfileManager::builtInProfilesChanged, this,
            &ScheduleEditorModel::refresh);
    connect(&m_profileManager, &ProfileManager::customProfilesChanged, this,
            &ScheduleEditorModel::refresh);
    refresh();
}

std::optional<std::int64_t> ScheduleEditorModel::durationMs(const QString& seconds) {
    const std::optional<double> value = NumberText::decimalNumber(NumberText::trimmed(seconds));
    // Beyond a day the validator speaks; the bound only keeps the
    // conversion defined.
    if (!value || !std::isfinite(*value) || *value < 0 || *value > 1e12) {
        return std::nullopt;
    }
    return std::llround(*value * 1000.0);
}

QString ScheduleEditorModel::summary() const {
    const QString description = schedule().description();
    return description.isEmpty() ? QStringLiteral("The conditions hold until switched off.")
                                 : description;
}

bool ScheduleEditorModel::canAddPhase() const {
    return schedule().trace.empty() && schedule().phases.size() < ThrottleSchedule::kMaxPhases;
}

QStringList ScheduleEditorModel::stepChoices() const {
    QStringList choices;
    for (const std::int64_t ms : kStepChoicesMs) {
        choices << QStringLiteral("%1 ms").arg(ms);
    }
    return choices;
}

int ScheduleEditorModel::stepIndex() const {
    const std::int64_t step = schedule().trace.empty() ? m_stepMs : schedule().trace.stepMs;
    const auto* found = std::find(kStepChoicesMs.begin(), kStepChoicesMs.end(), step);
    return found == kStepChoicesMs.end() ? -1 : int(found - kStepChoicesMs.begin());
}

QString ScheduleEditorModel::traceSummary(const std::vector<std::int64_t>& rates) const {
    CapacityTrace one;
    one.stepMs = schedule().trace.stepMs;
    one.downloadBytesPerSecond = rates;
    const std::optional<PacketDeliveryTrace::Summary::Direction> direction =
        PacketDeliveryTrace::summary(one).download;
    if (!direction) {
        return QStringLiteral("None: the profile's own rate");
    }
    return QStringLiteral("%1 · mean %2 · lowest %3 · highest %4")
        .arg(ProfileSchedule::lengthText(direction->lengthMs), rateText(direction->mean),
             rateText(direction->lowest), rateText(direction->highest));
}

QString ScheduleEditorModel::downloadTrace() const {
    return traceSummary(schedule().trace.downloadBytesPerSecond);
}

QString ScheduleEditorModel::uploadTrace() const {
    return traceSummary(schedule().trace.uploadBytesPerSecond);
}

QString ScheduleEditorModel::traceMessage() const {
    if (!m_importMessage.isEmpty()) {
        return m_importMessage;
    }
    if (!m_messages.hasAttemptedSave() || !m_messages.validationResult()) {
        return {};
    }
    QStringList lines;
    for (const QString& error : m_messages.validationResult()->errors) {
        if (error.startsWith(QStringLiteral("The ")) && error.contains(QStringLiteral("trace"))) {
            lines << error;
        }
    }
    return lines.join(u'\n');
}

QList<ScheduleEditorModel::Choice>
ScheduleEditorModel::choicesFor(const ProfilePhase& phase) const {
    QList<Choice> choices{{QStringLiteral("Outage"), std::nullopt, true}};
    bool matched = phase.isOutage();
    for (const ThrottleProfile& profile : m_profileManager.allProfiles()) {
        // A profile that changes over time has no one set of conditions.
        if (!profile.schedule.empty()) {
            continue;
        }
        matched = matched || asSaved(profile.conditions) == asSaved(*phase.conditions);
        choices.append({profile.name, profile.conditions, true});
    }
    if (!matched) {
        QString failure;
        const std::optional<ThrottleParameters> parameters =
            phase.conditions->toParameters(failure);
        choices.append({QStringLiteral("As saved: ") +
                            (parameters ? ThrottleDescription::conditions(*parameters) : failure),
                        phase.conditions, false});
    }
    return choices;
}

void ScheduleEditorModel::refresh() {
    const std::vector<ProfilePhase>& phases = schedule().phases;
    // A phase whose text no longer reads as its duration was loaded or
    // changed elsewhere: its text starts again from the number.
    m_durationTexts.resize(qsizetype(phases.size()));
    for (std::size_t i = 0; i < phases.size(); ++i) {
        QString& text = m_durationTexts[qsizetype(i)];
        if (durationMs(text).value_or(0) != phases[i].durationMs) {
            text = secondsText(phases[i].durationMs);
        }
    }
    const QStringList errors = m_messages.hasAttemptedSave() && m_messages.validationResult()
                                   ? m_messages.validationResult()->errors
                                   : QStringList();
    QList<SchedulePhaseRows::Row> rows;
    for (std::size_t i = 0; i < phases.size(); ++i) {
        const ProfilePhase& phase = phases[i];
        SchedulePhaseRows::Row row;
        row.label = QStringLiteral("Phase %1").arg(i + 1);
        row.name = phase.name;
        row.duration = m_durationTexts[qsizetype(i)];
        const QList<Choice> choices = choicesFor(phase);
        row.choiceIndex = -1;
        for (qsizetype c = 0; c < choices.size(); ++c) {
            row.choices << choices[c].title;
            const std::optional<NetworkConditions>& offered = choices[c].conditions;
            const bool same = phase.isOutage()
                                  ? !offered
                                  : offered && asSaved(*offered) == asSaved(*phase.conditions);
            if (same && row.choiceIndex < 0) {
                row.choiceIndex = int(c);
            }
        }
        row.message = messageAbout(errors, i);
        row.canMoveUp = i > 0;
        row.canMoveDown = i + 1 < phases.size();
        rows.append(std::move(row));
    }
    m_rows.update(rows);
    Q_EMIT changed();
}

void ScheduleEditorModel::setSchedule(const ProfileSchedule& schedule) {
    m_fields.setSchedule(schedule);
}

bool ScheduleEditorModel::isRow(int row) const {
    return row >= 0 && std::size_t(row) < schedule().phases.size();
}

void ScheduleEditorModel::reset() {
    m_importMessage.clear();
    m_stepMs = CapacityTrace::kDefaultStepMs;
    refresh();
}

void ScheduleEditorModel::setRepeat(bool repeat) {
    ProfileSchedule next = schedule();
    next.repeat = repeat;
    setSchedule(next);
}

void ScheduleEditorModel::setStepIndex(int index) {
    if (index < 0 || std::size_t(index) >= kStepChoicesMs.size() || !canChangeStep()) {
        return;
    }
    m_stepMs = kStepChoicesMs[std::size_t(index)];
    Q_EMIT changed();
}

void ScheduleEditorModel::addPhase() {
    if (!canAddPhase()) {
        return;
    }
    ProfileSchedule next = schedule();
    ProfilePhase phase;
    phase.durationMs = kNewPhaseMs;
    // The first profile on offer, so that a new phase throttles at once.
    const QList<Choice> choices = choicesFor(ProfilePhase{});
    const Choice& first = choices.size() > 1 ? choices[1] : choices[0];
    phase.name = first.title;
    phase.conditions = first.conditions;
    next.phases.push_back(std::move(phase));
    setSchedule(next);
}

void ScheduleEditorModel::removePhase(int row) {
    if (!isRow(row)) {
        return;
    }
    ProfileSchedule next = schedule();
    next.phases.erase(next.phases.begin() + row);
    m_durationTexts.removeAt(row);
    setSchedule(next);
}

void ScheduleEditorModel::movePhase(int row, int by) {
    const int to = row + (by < 0 ? -1 : 1);
    if (!isRow(row) || !isRow(to)) {
        return;
    }
    ProfileSchedule next = schedule();
    std::swap(next.phases[std::size_t(row)], next.phases[std::size_t(to)]);
    m_durationTexts.swapItemsAt(row, to);
    setSchedule(next);
}

void ScheduleEditorModel::setPhaseName(int row, const QString& name) {
    if (!isRow(row)) {
        return;
    }
    ProfileSchedule next = schedule();
    next.phases[std::size_t(row)].name = name;
    setSchedule(next);
}

void ScheduleEditorModel::setPhaseDuration(int row, const QString& seconds) {
    if (!isRow(row)) {
        return;
    }
    ProfileSchedule next = schedule();
    // A text that is no number is kept as typed, and its phase lasts 0 ms,
    // which the form's check refuses by the phase's name.
    next.phases[std::size_t(row)].durationMs = durationMs(seconds).value_or(0);
    if (!m_fields.isReadOnly()) {
        m_durationTexts[row] = seconds;
    }
    setSchedule(next);
    // The same duration typed differently changes no phase, only its text.
    refresh();
}

void ScheduleEditorModel::choosePhaseConditions(int row, int choice) {
    if (!isRow(row)) {
        return;
    }
    ProfileSchedule next = schedule();
    ProfilePhase& phase = next.phases[std::size_t(row)];
    const QList<Choice> choices = choicesFor(phase);
    if (choice < 0 || choice >= choices.size()) {
        return;
    }
    // A name the user did not make follows the choice: the one the last
    // choice gave, or none.
    const int current = m_rows.rows().at(row).choiceIndex;
    const bool nameFollows =
        NumberText::trimmed(phase.name).isEmpty() ||
        (current >= 0 && current < choices.size() && phase.name == choices[current].title);
    phase.conditions = choices[choice].conditions;
    if (nameFollows && choices[choice].namesPhase) {
        phase.name = choices[choice].title;
    }
    setSchedule(next);
}

void ScheduleEditorModel::importTrace(bool upload, const QUrl& file) {
    if (!canImportTrace() || m_fields.isReadOnly()) {
        return;
    }
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.toString();
    const std::int64_t stepMs = schedule().trace.empty() ? m_stepMs : schedule().trace.stepMs;
    const PacketDeliveryTrace::Imported imported =
        upload ? PacketDeliveryTrace::importFiles(QString(), path, stepMs)
               : PacketDeliveryTrace::importFiles(path, QString(), stepMs);
    m_importMessage = imported.error;
    if (!imported.error.isEmpty()) {
        Q_EMIT changed();
        return;
    }
    ProfileSchedule next = schedule();
    next.trace.stepMs = stepMs;
    if (upload) {
        next.trace.uploadBytesPerSecond = imported.trace.uploadBytesPerSecond;
    } else {
        next.trace.downloadBytesPerSecond = imported.trace.downloadBytesPerSecond;
    }
    setSchedule(next);
}

void ScheduleEditorModel::removeTrace(bool upload) {
    ProfileSchedule next = schedule();
    (upload ? next.trace.uploadBytesPerSecond : next.trace.downloadBytesPerSecond).clear();
    m_importMessage.clear();
    setSchedule(next);
    Q_EMIT changed();
}
