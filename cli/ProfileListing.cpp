// SPDX-License-Identifier: MIT
#include "ProfileListing.h"

#include "LiveFigureText.h"
#include "PacketDeliveryTrace.h"
#include "TerminalText.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cwchar>

namespace ProfileListing {

namespace {

using Row = std::array<QString, 4>;

Row rowOf(const ThrottleProfile& profile) {
    return {TerminalText::name(profile.name), profile.shortDescription(),
            profile.isBuiltIn() ? QStringLiteral("built-in") : QStringLiteral("custom"),
            profile.showInMenu ? QStringLiteral("shown") : QStringLiteral("hidden")};
}

// Columns on the terminal: wide characters take two, combining marks none.
qsizetype displayWidth(const QString& text) {
    qsizetype width = 0;
    for (const char32_t codePoint : text.toUcs4()) {
        const int columns = ::wcwidth(static_cast<wchar_t>(codePoint));
        width += columns < 0 ? 1 : columns;
    }
    return width;
}

// "300 ms", "1.5 s", "40 s", "2 min", "1 h": in the largest unit that
// keeps it exact, so that it reads back as --phase takes it.
QString durationText(std::int64_t ms) {
    constexpr std::int64_t second = 1000;
    constexpr std::int64_t minute = 60 * second;
    constexpr std::int64_t hour = 60 * minute;
    if (ms >= hour && ms % hour == 0) {
        return QStringLiteral("%1 h").arg(ms / hour);
    }
    if (ms >= minute && ms % minute == 0) {
        return QStringLiteral("%1 min").arg(ms / minute);
    }
    if (ms < second) {
        return QStringLiteral("%1 ms").arg(ms);
    }
    return QString::number(static_cast<double>(ms) / second, 'g', 12) + QStringLiteral(" s");
}

QString phasesText(const ProfileSchedule& schedule) {
    QString text = QStringLiteral("Schedule: ") + schedule.description() +
                   (schedule.repeat ? QString() : QStringLiteral(": the last phase holds")) + u'\n';
    for (std::size_t i = 0; i < schedule.phases.size(); ++i) {
        const ProfilePhase& phase = schedule.phases[i];
        const QString conditions =
            phase.conditions ? ThrottleProfile(QUuid(), phase.name, *phase.conditions, false, true)
                                   .conditionsDescription()
                             : QStringLiteral("outage, nothing passes");
        text +=
            QStringLiteral("  %1. %2  %3: %4\n")
                .arg(i + 1)
                .arg(durationText(phase.durationMs), TerminalText::name(phase.name), conditions);
    }
    return text;
}

QString traceText(const ThrottleProfile& profile) {
    const CapacityTrace& trace = profile.schedule.trace;
    const PacketDeliveryTrace::Summary summary = PacketDeliveryTrace::summary(trace);
    QString text = QStringLiteral("Schedule: trace of %1 in steps of %2, looping\n")
                       .arg(durationText(summary.lengthMs()), durationText(trace.stepMs));
    const auto rate = [](std::int64_t bytesPerSecond) {
        return LiveFigureText::rate(static_cast<double>(bytesPerSecond) * 8);
    };
    const std::pair<const char*, const std::optional<PacketDeliveryTrace::Summary::Direction>&>
        directions[] = {{"Download", summary.download}, {"Upload", summary.upload}};
    for (const auto& [title, direction] : directions) {
        text += QStringLiteral("  %1: ").arg(QLatin1StringView(title));
        if (direction) {
            text += QStringLiteral("%1 long, mean %2, lowest %3, highest %4\n")
                        .arg(durationText(direction->lengthMs), rate(direction->mean),
                             rate(direction->lowest), rate(direction->highest));
        } else {
            text += QStringLiteral("the profile's own rate\n");
        }
    }
    return text;
}

} // namespace

QString details(const ThrottleProfile& profile) {
    const Row row = rowOf(profile);
    QString text = QStringLiteral("Name: %1\nId: %2\nLimits: %3\nType: %4, %5\n")
                       .arg(row[0], ThrottleProfile::idText(profile.id()), row[1], row[2], row[3]);
    if (!profile.schedule.phases.empty()) {
        text += phasesText(profile.schedule);
    } else if (!profile.schedule.trace.empty()) {
        text += traceText(profile);
    } else {
        text += QStringLiteral("Schedule: none, the limits hold\n");
    }
    return text;
}

QString separatedByTabs(const QList<ThrottleProfile>& profiles) {
    QString text;
    for (const ThrottleProfile& profile : profiles) {
        const Row row = rowOf(profile);
        text += QStringList(row.begin(), row.end()).join(u'\t') + u'\n';
    }
    return text;
}

QString table(const QList<ThrottleProfile>& profiles) {
    QList<Row> rows{{QStringLiteral("NAME"), QStringLiteral("LIMITS"), QStringLiteral("TYPE"),
                     QStringLiteral("MENU")}};
    for (const ThrottleProfile& profile : profiles) {
        rows << rowOf(profile);
    }
    std::array<qsizetype, 4> widths{};
    for (const Row& row : rows) {
        for (size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], displayWidth(row[column]));
        }
    }
    QString text;
    for (const Row& row : rows) {
        QString line;
        for (size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size()) {
                line += QString(widths[column] - displayWidth(row[column]) + 2, u' ');
            }
        }
        text += line + u'\n';
    }
    return text;
}

} // namespace ProfileListing
