// SPDX-License-Identifier: MIT
#include "ScheduleJson.h"

#include "JsonNumbers.h"
#include "NumberText.h"
#include "PacketDeliveryTrace.h"
#include "ProfileJson.h"

#include <QJsonArray>

#include <utility>

namespace ScheduleJson {

namespace {

constexpr QLatin1StringView kPhases("phases");
constexpr QLatin1StringView kRepeat("repeat");
constexpr QLatin1StringView kTrace("trace");

constexpr QLatin1StringView kName("name");
constexpr QLatin1StringView kDurationMs("durationMs");
constexpr QLatin1StringView kOutage("outage");

constexpr QLatin1StringView kStepMs("stepMs");
constexpr QLatin1StringView kDownload("download");
constexpr QLatin1StringView kUpload("upload");

bool isPhaseKey(const QString& key) {
    return key == kName || key == kDurationMs || key == kOutage || ProfileJson::isConditionKey(key);
}

QJsonObject phaseRecord(const ProfilePhase& phase) {
    QJsonObject object = phase.otherKeys;
    object.insert(kName, phase.name);
    object.insert(kDurationMs, QJsonValue(static_cast<qint64>(phase.durationMs)));
    if (phase.conditions) {
        ProfileJson::writeConditions(object, *phase.conditions);
    } else {
        object.insert(kOutage, true);
    }
    return object;
}

std::optional<ProfilePhase> readPhase(const QJsonValue& value) {
    const QJsonObject object = value.toObject();
    const QJsonValue name = object.value(kName);
    const std::optional<std::int64_t> durationMs = JsonNumbers::integer(object.value(kDurationMs));
    const QJsonValue outage = object.value(kOutage);
    if (!value.isObject() || !name.isString() || !durationMs ||
        !(outage.isUndefined() || outage.isBool())) {
        return std::nullopt;
    }
    ProfilePhase phase{name.toString(), *durationMs, std::nullopt, {}};
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        if (!isPhaseKey(entry.key())) {
            phase.otherKeys.insert(entry.key(), entry.value());
        } else if (outage.toBool() && ProfileJson::isConditionKey(entry.key())) {
            // Nothing passes in an outage: conditions beside it say otherwise.
            return std::nullopt;
        }
    }
    if (!outage.toBool()) {
        phase.conditions.emplace();
        if (!ProfileJson::readConditions(object, *phase.conditions)) {
            return std::nullopt;
        }
    }
    return phase;
}

QString stepsText(const std::vector<std::int64_t>& rates, std::int64_t stepMs) {
    // Built as bytes: a day of steps is close to a million numbers.
    QByteArray text;
    text.reserve(static_cast<qsizetype>(rates.size()) * 4);
    for (const std::int64_t rate : rates) {
        if (!text.isEmpty()) {
            text += ' ';
        }
        text += QByteArray::number(PacketDeliveryTrace::packetsPerStep(rate, stepMs));
    }
    return QString::fromLatin1(text);
}

// Rounded to the nearest byte per second where a step's packets do not
// divide evenly (steps of 700 ms).
std::optional<std::vector<std::int64_t>> readSteps(const QJsonValue& value, std::int64_t stepMs) {
    if (value.isUndefined() || value.isNull()) {
        return std::vector<std::int64_t>();
    }
    if (!value.isString()) {
        return std::nullopt;
    }
    // Held here: the words are views into it.
    const QString text = value.toString();
    std::vector<std::int64_t> rates;
    for (const QStringView word : QStringView(text).split(u' ', Qt::SkipEmptyParts)) {
        const std::optional<std::int64_t> packets = NumberText::wholeNumber(word);
        if (!packets || *packets < -PacketDeliveryTrace::kMaxPacketsPerStep ||
            *packets > PacketDeliveryTrace::kMaxPacketsPerStep) {
            return std::nullopt;
        }
        rates.push_back(PacketDeliveryTrace::bytesPerSecond(*packets, stepMs));
    }
    return rates;
}

bool readTrace(const QJsonValue& value, ProfileSchedule& schedule) {
    if (value.isUndefined() || value.isNull()) {
        return true;
    }
    const QJsonObject object = value.toObject();
    const std::optional<std::int64_t> stepMs = JsonNumbers::integer(object.value(kStepMs));
    // A step of no length has no rate; its range is the validator's.
    if (!value.isObject() || !stepMs || *stepMs <= 0) {
        return false;
    }
    std::optional<std::vector<std::int64_t>> download = readSteps(object.value(kDownload), *stepMs);
    std::optional<std::vector<std::int64_t>> upload = readSteps(object.value(kUpload), *stepMs);
    if (!download || !upload) {
        return false;
    }
    schedule.trace = {*stepMs, std::move(*download), std::move(*upload)};
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        if (entry.key() != kStepMs && entry.key() != kDownload && entry.key() != kUpload) {
            schedule.otherTraceKeys.insert(entry.key(), entry.value());
        }
    }
    return true;
}

} // namespace

void write(QJsonObject& record, const ProfileSchedule& schedule) {
    if (!schedule.phases.empty()) {
        QJsonArray phases;
        for (const ProfilePhase& phase : schedule.phases) {
            phases.append(phaseRecord(phase));
        }
        record.insert(kPhases, phases);
        record.insert(kRepeat, schedule.repeat);
    }
    if (!schedule.trace.empty() || !schedule.otherTraceKeys.isEmpty()) {
        const CapacityTrace& trace = schedule.trace;
        QJsonObject object = schedule.otherTraceKeys;
        object.insert(kStepMs, QJsonValue(static_cast<qint64>(trace.stepMs)));
        if (!trace.downloadBytesPerSecond.empty()) {
            object.insert(kDownload, stepsText(trace.downloadBytesPerSecond, trace.stepMs));
        }
        if (!trace.uploadBytesPerSecond.empty()) {
            object.insert(kUpload, stepsText(trace.uploadBytesPerSecond, trace.stepMs));
        }
        record.insert(kTrace, object);
    }
}

std::optional<ProfileSchedule> read(const QJsonObject& record) {
    ProfileSchedule schedule;
    const QJsonValue phases = record.value(kPhases);
    const QJsonValue repeat = record.value(kRepeat);
    // Absent or null is none, as for the other keys a record may leave out.
    const auto absent = [](const QJsonValue& value) {
        return value.isUndefined() || value.isNull();
    };
    if (!(absent(phases) || phases.isArray()) || !(absent(repeat) || repeat.isBool())) {
        return std::nullopt;
    }
    for (const QJsonValue entry : phases.toArray()) {
        std::optional<ProfilePhase> phase = readPhase(entry);
        if (!phase) {
            return std::nullopt;
        }
        schedule.phases.push_back(std::move(*phase));
    }
    // Without phases it means nothing, and is not written back.
    if (!schedule.phases.empty()) {
        schedule.repeat = repeat.toBool(true);
    }
    if (!readTrace(record.value(kTrace), schedule)) {
        return std::nullopt;
    }
    return schedule;
}

bool isKey(const QString& key) {
    return key == kPhases || key == kRepeat || key == kTrace;
}

} // namespace ScheduleJson
