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
        } else if (name == key(kCgroup)) {
            if (value.typeId() != QMetaType::QString) {
                failure = QStringLiteral("Scope key \"cgroup\" must be of type s (text), not %1")
                              .arg(busTypeOf(value));
                return std::nullopt;
            }
            scope.cgroup = value.toString().toStdString();
            if (scope.cgroup.empty()) {
                failure = QStringLiteral("A command's cgroup cannot be empty");
                return std::nullopt;
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
    if (const auto refusal = scope.check()) {
        failure = QString::fromStdString(*refusal);
        if (!scope.cgroup.empty() && scope.destinations.empty()) {
            failure = QStringLiteral("Invalid cgroup path '%1'")
                          .arg(shown(QString::fromStdString(scope.cgroup)));
        }
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
    scope.cgroup = dictionary.value(key(kCgroup)).toString().toStdString();
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
    if (!scope.cgroup.empty()) {
        dictionary.insert(key(kCgroup), QString::fromStdString(scope.cgroup));
    }
    return dictionary;
}

} // namespace ScopeDictionary
