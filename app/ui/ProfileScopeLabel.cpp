// SPDX-License-Identifier: MIT
#include "ProfileScopeLabel.h"

#include "ProfileDestinations.h"

ProfileScopeLabel ProfileScopeLabel::of(const ThrottleProfile& profile, ApplicationNames* names) {
    ProfileScopeLabel label;
    if (!profile.application.isEmpty()) {
        // The desktop id itself when no entry names it.
        const ApplicationNames::Label application =
            names ? names->labelOf(profile.application)
                  : ApplicationNames::Label{profile.application, QString()};
        label.line = QStringLiteral("Only ") + application.name;
        label.sentence = QStringLiteral("only for ") + application.name;
        label.applicationName = application.name;
        label.iconName = application.iconName;
        return label;
    }
    // The first destination and a count of the others, so that a long list
    // never hides the line's end.
    label.line = ProfileDestinations::shortSummary(profile.destinations);
    if (!label.line.isEmpty()) {
        label.line[0] = label.line[0].toUpper();
    }
    label.sentence = ProfileDestinations::summary(profile.destinations);
    return label;
}

QString ProfileScopeLabel::description(const ThrottleProfile& profile,
                                       const ProfileScopeLabel& scope) {
    return scope.sentence.isEmpty()
               ? profile.conditionsDescription()
               : profile.conditionsDescription() + QStringLiteral(", ") + scope.sentence;
}
