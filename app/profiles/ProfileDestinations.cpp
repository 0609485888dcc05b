// SPDX-License-Identifier: MIT
#include "ProfileDestinations.h"

#include "ThrottleScope.h"

#include <algorithm>
#include <string>

namespace ProfileDestinations {

namespace {

// A summary is one line of a narrow panel: past this many entries it names
// one fewer and counts the rest.
constexpr qsizetype kNamedInSummary = 3;

} // namespace

Parsed parse(const QStringList& entries) {
    Parsed parsed;
    QStringList typed;
    for (const QString& entry : entries) {
        const QString text = entry.trimmed();
        if (text.isEmpty()) {
            continue;
        }
        std::string failure;
        const std::optional<Destination> destination =
            Destination::parse(text.toStdString(), failure);
        if (!destination) {
            parsed.error = QString::fromStdString(failure);
            return parsed;
        }
        // Compared parsed, so "API.example.com" repeats "api.example.com".
        const auto earlier =
            std::find(parsed.destinations.begin(), parsed.destinations.end(), *destination);
        if (earlier != parsed.destinations.end()) {
            const QString& first = typed.at(earlier - parsed.destinations.begin());
            parsed.error =
                first == text
                    ? QStringLiteral("'%1' is listed twice").arg(text)
                    : QStringLiteral("'%1' is listed twice (also as '%2')").arg(text, first);
            return parsed;
        }
        parsed.destinations.push_back(*destination);
        typed << text;
    }
    if (parsed.destinations.size() > ThrottleScope::kMaxDestinations) {
        parsed.error = QStringLiteral("A profile can apply to at most %1 destinations, not %2")
                           .arg(ThrottleScope::kMaxDestinations)
                           .arg(parsed.destinations.size());
    }
    return parsed;
}

QStringList lines(const QString& text) {
    return text.split(u'\n');
}

QStringList texts(const std::vector<Destination>& destinations) {
    QStringList result;
    for (const Destination& destination : destinations) {
        result << QString::fromStdString(destination.text());
    }
    return result;
}

QString summary(const std::vector<Destination>& destinations) {
    if (destinations.empty()) {
        return {};
    }
    const QStringList all = texts(destinations);
    if (all.size() <= kNamedInSummary) {
        return QStringLiteral("only to ") + all.join(QStringLiteral(", "));
    }
    return QStringLiteral("only to %1 and %2 more")
        .arg(all.first(kNamedInSummary - 1).join(QStringLiteral(", ")))
        .arg(all.size() - (kNamedInSummary - 1));
}

QString shortSummary(const std::vector<Destination>& destinations) {
    if (destinations.size() <= 1) {
        return summary(destinations);
    }
    return QStringLiteral("only to %1 +%2")
        .arg(QString::fromStdString(destinations.front().text()))
        .arg(destinations.size() - 1);
}

} // namespace ProfileDestinations
