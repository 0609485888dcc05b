// SPDX-License-Identifier: MIT
#include "ThrottleDescription.h"

#include "NetworkConditions.h"
#include "ProfileDestinations.h"
#include "ThrottleProfile.h"

#include <QUuid>

#include <string>
#include <vector>

namespace ThrottleDescription {

QString scope(const ThrottleScope& scope) {
    switch (scope.kind()) {
    case ThrottleScope::Kind::machine:
        return QStringLiteral("All traffic");
    case ThrottleScope::Kind::command:
        return QStringLiteral("Only one command's processes");
    case ThrottleScope::Kind::application:
        // On, and waiting for the application to start again.
        return (scope.cgroups.empty() ? QStringLiteral("Waiting for %1")
                                      : QStringLiteral("Only %1"))
            .arg(QString::fromStdString(scope.application));
    case ThrottleScope::Kind::destinations:
        break;
    }
    // Names a host resolved to are shown as typed; an entry that no longer
    // reads back (a newer build's form) falls back to the addresses in force.
    std::vector<Destination> shown;
    for (const std::string& name : scope.names) {
        std::string failure;
        if (const std::optional<Destination> parsed = Destination::parse(name, failure)) {
            shown.push_back(*parsed);
        }
    }
    if (shown.empty() || shown.size() != scope.names.size()) {
        shown = scope.destinations;
    }
    QString text = ProfileDestinations::summary(shown);
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

QString conditions(const ThrottleParameters& parameters) {
    const ThrottleProfile unnamed(QUuid(), QString(), NetworkConditions::fromParameters(parameters),
                                  false, true);
    return unnamed.conditionsDescription();
}

QString owner(const ThrottleOwner& owner) {
    return owner.isThisClient ? owner.displayName() + QStringLiteral(" (this app)")
                              : owner.displayName();
}

} // namespace ThrottleDescription
