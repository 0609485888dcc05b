// SPDX-License-Identifier: MIT
#include "ScopeDictionary.h"

#include "CallerValues.h"

#include <QStringList>

#include <string>

namespace ScopeDictionary {

using CallerValues::busTypeOf;
using CallerValues::shown;

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

bool readDestinations(const QStringList& texts, ThrottleScope& scope, QString& failure) {
    for (const QString& text : texts) {
        std::string why;
        const auto destination = Destination::parse(text.toStdString(), why);
        if (!destination) {
            failure = QString::fromStdString(why);
            return false;
        }
        if (destination->kind == Destination::Kind::hostName) {
            failure = QStringLiteral("Destination '%1' is a host name: the helper takes "
                                     "addresses and networks only")
                          .arg(shown(text));
            return false;
        }
        scope.destinations.push_back(*destination);
    }
    return true;
}

} // namespace

std::optional<ThrottleScope> fromWire(const QVariantMap& dictionary, QString& failure) {
    ThrottleScope scope;
    for (auto entry = dictionary.begin(); entry != dictionary.end(); ++entry) {
        const QString& name = entry.key();
        const QVariant& value = entry.value();
        const bool isList = value.typeId() == QMetaType::QStringList;
        if (name == key(kDestinations) || name == key(kNames)) {
            if (!isList) {
                failure = QStringLiteral("Scope key \"%1\" must be of type as (list of texts), "
                                         "not %2")
                              .arg(name, busTypeOf(value));
                return std::nullopt;
            }
            const QStringList texts = value.toStringList();
            if (std::size_t(texts.size()) > ThrottleScope::kMaxDestinations) {
                failure = QStringLiteral("A scope has at most %1 %2, not %3")
                              .arg(ThrottleScope::kMaxDestinations)
                              .arg(name)
                              .arg(texts.size());
                return std::nullopt;
            }
            if (name == key(kNames)) {
                for (const QString& text : texts) {
                    if (std::size_t(text.toUcs4().size()) > ThrottleScope::kMaxNameLength) {
                        failure = QStringLiteral("Scope key \"names\": a name has at most %1 "
                                                 "characters, not %2")
                                      .arg(ThrottleScope::kMaxNameLength)
                                      .arg(text.toUcs4().size());
                        return std::nullopt;
                    }
                    scope.names.push_back(text.toStdString());
                }
            } else if (!readDestinations(texts, scope, failure)) {
                return std::nullopt;
            }
        } else if (name == key(kCgroup) || name == key(kApplication)) {
            if (value.typeId() != QMetaType::QString) {
                failure = QStringLiteral("Scope key \"%1\" must be of type s (text), not %2")
                              .arg(name, busTypeOf(value));
                return std::nullopt;
            }
            const std::string text = value.toString().toStdString();
            if (text.empty()) {
                failure = name == key(kCgroup)
                              ? QStringLiteral("A command's cgroup cannot be empty")
                              : QStringLiteral("An application's desktop id cannot be empty");
                return std::nullopt;
            }
            if (name == key(kCgroup)) {
                scope.cgroups.insert(scope.cgroups.begin(), text);
            } else if (!ThrottleScope::isApplicationId(text)) {
                failure =
                    QStringLiteral("Invalid application id '%1'").arg(shown(value.toString()));
                return std::nullopt;
            } else {
                scope.application = text;
            }
        } else if (name == key(kCgroups)) {
            if (!isList) {
                failure = QStringLiteral("Scope key \"cgroups\" must be of type as (list of "
                                         "texts), not %1")
                              .arg(busTypeOf(value));
                return std::nullopt;
            }
            const QStringList texts = value.toStringList();
            if (std::size_t(texts.size()) > ThrottleScope::kMaxCgroups) {
                failure = QStringLiteral("A scope has at most %1 cgroups, not %2")
                              .arg(ThrottleScope::kMaxCgroups)
                              .arg(texts.size());
                return std::nullopt;
            }
            for (const QString& text : texts) {
                scope.cgroups.push_back(text.toStdString());
            }
        } else {
            failure = QStringLiteral("Unknown scope key \"%1\"").arg(shown(name));
            return std::nullopt;
        }
    }
    if (!scope.names.empty() && scope.destinations.empty()) {
        failure = QStringLiteral("A scope with names needs the destinations they stand for");
        return std::nullopt;
    }
    if (dictionary.contains(key(kCgroups)) &&
        (dictionary.contains(key(kCgroup)) || scope.application.empty())) {
        failure = QStringLiteral("Scope key \"cgroups\" goes with \"application\" alone");
        return std::nullopt;
    }
    for (const std::string& cgroup : scope.cgroups) {
        if (!ThrottleScope::isCgroupPath(cgroup)) {
            failure = QStringLiteral("Invalid cgroup path '%1'")
                          .arg(shown(QString::fromStdString(cgroup)));
            return std::nullopt;
        }
    }
    if (const auto refusal = scope.check()) {
        failure = QString::fromStdString(*refusal);
        return std::nullopt;
    }
    return scope;
}

ThrottleScope readWire(const QVariantMap& dictionary) {
    ThrottleScope scope;
    for (const QString& text : dictionary.value(key(kDestinations)).toStringList()) {
        std::string ignored;
        if (const auto destination = Destination::parse(text.toStdString(), ignored)) {
            scope.destinations.push_back(*destination);
        }
    }
    for (const QString& text : dictionary.value(key(kNames)).toStringList()) {
        scope.names.push_back(text.toStdString());
    }
    const QString cgroup = dictionary.value(key(kCgroup)).toString();
    if (!cgroup.isEmpty()) {
        scope.cgroups.push_back(cgroup.toStdString());
    }
    for (const QString& text : dictionary.value(key(kCgroups)).toStringList()) {
        scope.cgroups.push_back(text.toStdString());
    }
    scope.application = dictionary.value(key(kApplication)).toString().toStdString();
    return scope;
}

QVariantMap toWire(const ThrottleScope& scope) {
    QVariantMap dictionary;
    if (!scope.destinations.empty()) {
        QStringList texts;
        for (const Destination& destination : scope.destinations) {
            texts << QString::fromStdString(destination.text());
        }
        dictionary.insert(key(kDestinations), texts);
    }
    if (!scope.names.empty()) {
        QStringList names;
        for (const std::string& name : scope.names) {
            names << QString::fromStdString(name);
        }
        dictionary.insert(key(kNames), names);
    }
    if (!scope.application.empty()) {
        QStringList cgroups;
        for (const std::string& cgroup : scope.cgroups) {
            cgroups << QString::fromStdString(cgroup);
        }
        dictionary.insert(key(kApplication), QString::fromStdString(scope.application));
        dictionary.insert(key(kCgroups), cgroups);
    } else if (!scope.cgroups.empty()) {
        dictionary.insert(key(kCgroup), QString::fromStdString(scope.cgroups.front()));
    }
    return dictionary;
}

} // namespace ScopeDictionary
