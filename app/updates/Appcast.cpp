// SPDX-License-Identifier: MIT
#include "Appcast.h"

#include "UpdateError.h"
#include "VersionComparison.h"

#include <QXmlStreamReader>

namespace {

const QString sparkleNamespace =
    QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

bool isSparkle(const QXmlStreamReader& reader, QStringView name) {
    return reader.namespaceUri() == sparkleNamespace && reader.name() == name;
}

bool isPlain(const QXmlStreamReader& reader, QStringView name) {
    return reader.namespaceUri().isEmpty() && reader.name() == name;
}

QUrl urlFrom(const QString& text) {
    return QUrl(text.trimmed(), QUrl::StrictMode);
}

AppcastEnclosure readEnclosure(const QXmlStreamReader& reader, AppcastItem& item) {
    const QXmlStreamAttributes attributes = reader.attributes();
    AppcastEnclosure enclosure;
    enclosure.url = urlFrom(attributes.value(QStringLiteral("url")).toString());
    bool ok = false;
    const qint64 length = attributes.value(QStringLiteral("length")).toLongLong(&ok);
    enclosure.length = ok && length > 0 ? length : 0;
    enclosure.type = attributes.value(QStringLiteral("type")).toString();
    enclosure.edSignature = attributes.value(sparkleNamespace, QStringLiteral("edSignature"))
                                .toString()
                                .trimmed()
                                .toLatin1();
    // Older feeds put the versions and the system on the enclosure.
    if (item.version.isEmpty()) {
        item.version =
            attributes.value(sparkleNamespace, QStringLiteral("version")).toString().trimmed();
    }
    if (item.displayVersion.isEmpty()) {
        item.displayVersion =
            attributes.value(sparkleNamespace, QStringLiteral("shortVersionString"))
                .toString()
                .trimmed();
    }
    item.operatingSystem =
        attributes.value(sparkleNamespace, QStringLiteral("os")).toString().trimmed();
    return enclosure;
}

AppcastItem readItem(QXmlStreamReader& reader) {
    AppcastItem item;
    while (reader.readNextStartElement()) {
        if (isPlain(reader, u"title")) {
            item.title = reader.readElementText().trimmed();
        } else if (isPlain(reader, u"link")) {
            item.infoLink = urlFrom(reader.readElementText());
        } else if (isPlain(reader, u"description")) {
            item.descriptionIsPlainText =
                reader.attributes().value(sparkleNamespace, QStringLiteral("format")) ==
                u"plain-text";
            item.description = reader.readElementText();
        } else if (isSparkle(reader, u"version")) {
            item.version = reader.readElementText().trimmed();
        } else if (isSparkle(reader, u"shortVersionString")) {
            item.displayVersion = reader.readElementText().trimmed();
        } else if (isSparkle(reader, u"releaseNotesLink")) {
            item.releaseNotesLink = urlFrom(reader.readElementText());
        } else if (isPlain(reader, u"enclosure")) {
            item.enclosure = readEnclosure(reader, item);
            reader.skipCurrentElement();
        } else {
            reader.skipCurrentElement();
        }
    }
    if (item.displayVersion.isEmpty()) {
        item.displayVersion = item.version;
    }
    return item;
}

void readChannel(QXmlStreamReader& reader, Appcast& appcast) {
    while (reader.readNextStartElement()) {
        if (isPlain(reader, u"item")) {
            appcast.items.append(readItem(reader));
        } else if (isPlain(reader, u"link")) {
            appcast.link = urlFrom(reader.readElementText());
        } else {
            reader.skipCurrentElement();
        }
    }
}

bool isApplicable(const AppcastItem& item) {
    return !item.version.isEmpty() && item.enclosure && item.enclosure->url.isValid() &&
           item.enclosure->length > 0 &&
           (item.operatingSystem.isEmpty() ||
            item.operatingSystem.compare(u"linux", Qt::CaseInsensitive) == 0);
}

} // namespace

Appcast Appcast::parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    Appcast appcast;
    if (!reader.readNextStartElement() || !isPlain(reader, u"rss")) {
        if (!reader.hasError()) {
            throw UpdateError(QStringLiteral("the feed is not an RSS document"));
        }
    } else {
        while (reader.readNextStartElement()) {
            if (isPlain(reader, u"channel")) {
                readChannel(reader, appcast);
            } else {
                reader.skipCurrentElement();
            }
        }
    }
    if (reader.hasError()) {
        throw UpdateError(
            QStringLiteral("the feed is not valid XML (line %1: %2)")
                .arg(reader.lineNumber())
                .arg(reader.errorString().chopped(reader.errorString().endsWith(u'.') ? 1 : 0)));
    }
    return appcast;
}

std::optional<AppcastItem> Appcast::newestApplicableItem(QStringView runningVersion,
                                                         QStringView skippedVersion) const {
    std::optional<AppcastItem> newest;
    for (const AppcastItem& item : items) {
        if (!isApplicable(item) || compareVersions(item.version, runningVersion) <= 0 ||
            (!skippedVersion.isEmpty() && compareVersions(item.version, skippedVersion) <= 0)) {
            continue;
        }
        if (!newest || compareVersions(item.version, newest->version) > 0) {
            newest = item;
        }
    }
    return newest;
}
