// SPDX-License-Identifier: MIT
#include "ApplicationUnitName.h"

#include <QByteArray>
#include <QList>
#include <QStringView>

#include <algorithm>

namespace {

const QString kPrefix = QStringLiteral("app-");
const QString kScopeSuffix = QStringLiteral(".scope");
const QString kServiceSuffix = QStringLiteral(".service");

// systemd's own limit on a unit name.
constexpr qsizetype kMaxUnitName = 255;

bool isPlain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '.';
}

bool isUnitNameCharacter(QChar c) {
    return c.unicode() < 0x80 &&
           (isPlain(char(c.unicode())) || c == u'-' || c == u'\\' || c == u'@');
}

// A part with systemd's \xNN escapes undone, or nothing when one is broken.
std::optional<QString> unescape(QStringView part) {
    QByteArray bytes;
    for (qsizetype i = 0; i < part.size(); ++i) {
        if (part[i] != u'\\') {
            bytes += char(part[i].unicode());
            continue;
        }
        const QStringView hex = part.mid(i + 2, 2);
        bool isHex = false;
        const uint value = hex.toUInt(&isHex, 16);
        if (part.mid(i + 1, 1) != u"x" || hex.size() != 2 || !isHex) {
            return std::nullopt;
        }
        bytes += char(value);
        i += 3;
    }
    return QString::fromUtf8(bytes);
}

QString escape(const QString& text) {
    QString escaped;
    const QByteArray bytes = text.toUtf8();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        // A leading dot would make a hidden file of the unit.
        if (isPlain(c) && !(i == 0 && c == '.')) {
            escaped += QLatin1Char(c);
        } else {
            escaped += QStringLiteral("\\x%1").arg(uint(uchar(c)), 2, 16, QLatin1Char('0'));
        }
    }
    return escaped;
}

} // namespace

std::optional<ApplicationUnitName> ApplicationUnitName::parse(const QString& unitName) {
    const bool isScope = unitName.endsWith(kScopeSuffix);
    if (!unitName.startsWith(kPrefix) || (!isScope && !unitName.endsWith(kServiceSuffix)) ||
        unitName.size() > kMaxUnitName ||
        !std::all_of(unitName.begin(), unitName.end(), isUnitNameCharacter)) {
        return std::nullopt;
    }
    QStringView stem = QStringView(unitName).mid(
        kPrefix.size(),
        unitName.size() - kPrefix.size() - (isScope ? kScopeSuffix : kServiceSuffix).size());
    const qsizetype at = stem.indexOf(u'@');
    if (at >= 0) {
        // Only a service has an instance, and a template (nothing after the
        // @) never runs.
        if (isScope || at + 1 == stem.size()) {
            return std::nullopt;
        }
        stem = stem.left(at);
    }
    QList<QStringView> parts = stem.split(u'-');
    // A scope's last part makes its name unique; a service's is after the @.
    if (isScope && parts.size() > 1) {
        parts.removeLast();
    }
    if (parts.size() > 2 ||
        std::any_of(parts.begin(), parts.end(), [](QStringView part) { return part.isEmpty(); })) {
        return std::nullopt;
    }
    const std::optional<QString> launcher =
        parts.size() == 2 ? unescape(parts.first()) : std::optional<QString>(QString());
    const std::optional<QString> desktopId = unescape(parts.last());
    // The id names a file in the applications folders: no way out of them.
    if (!launcher || !desktopId || desktopId->isEmpty() || desktopId->contains(u'/') ||
        desktopId->contains(QChar(0))) {
        return std::nullopt;
    }
    return ApplicationUnitName{*launcher, *desktopId};
}

QString ApplicationUnitName::scopeName(const QString& launcher, const QString& desktopId,
                                       const QString& random) {
    return kPrefix + escape(launcher) + u'-' + escape(desktopId) + u'-' + random + kScopeSuffix;
}
