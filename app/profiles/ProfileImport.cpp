// SPDX-License-Identifier: MIT
#include "ProfileImport.h"

#include "NumberText.h"
#include "ProfileCopy.h"
#include "ProfileNameOrder.h"
#include "ProfileValidator.h"

#include <QSet>
#include <QStringList>
#include <QUuid>

#include <utility>

ProfileImport::ProfileImport(QList<ThrottleProfile> profiles, NameClash clash)
    : m_profiles(std::move(profiles))
    , m_clash(clash) {}

ProfileChange ProfileImport::addTo(QList<ThrottleProfile>& stored,
                                   const QList<ThrottleProfile>& builtIns) {
    // Decided on the file as it is under the lock, with the names the
    // import adds as it goes, so no two profiles end with one name. Keyed as
    // the validator compares names, once each: a thousand profiles into a
    // thousand stay linear.
    QSet<QString> taken;
    const auto key = [](const QString& name) {
        return ProfileNameOrder::identityKey(NumberText::trimmed(name));
    };
    for (const QList<ThrottleProfile>* list : {&builtIns, &std::as_const(stored)}) {
        for (const ThrottleProfile& profile : *list) {
            taken.insert(key(profile.name));
        }
    }
    const auto isTaken = [&](const QString& name) { return taken.contains(key(name)); };
    QStringList clashes;
    QList<ThrottleProfile> added;
    m_added.clear();
    for (const ThrottleProfile& profile : std::as_const(m_profiles)) {
        QString name = profile.name;
        if (isTaken(name) && m_clash == NameClash::refuse) {
            clashes << QStringLiteral("'%1'").arg(name);
        }
        while (isTaken(name)) {
            name = ProfileCopy::nameFor(name);
        }
        if (const ValidationResult valid = ProfileValidator::validateName(name); !valid.isValid) {
            return ProfileChange::refused(QStringLiteral("Profile '%1' cannot be renamed "
                                                         "to a free name: %2")
                                              .arg(profile.name, *valid.message));
        }
        ThrottleProfile copy = ProfileCopy::editable(profile, QUuid::createUuid(), name);
        copy.showInMenu = profile.showInMenu;
        taken.insert(key(name));
        added << copy;
    }
    if (!clashes.isEmpty()) {
        return ProfileChange::refused(
            (clashes.size() == 1
                 ? QStringLiteral("Nothing imported: a profile named %1 already exists")
                 : QStringLiteral("Nothing imported: profiles named %1 already exist"))
                .arg(clashes.join(QStringLiteral(", "))));
    }
    stored += added;
    m_added = std::move(added);
    return ProfileChange::done();
}
