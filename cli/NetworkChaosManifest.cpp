// SPDX-License-Identifier: MIT
#include "NetworkChaosManifest.h"

#include "TerminalText.h"

#include <QStringList>

#include <algorithm>

// A resource name is a DNS label: lower-case letters, digits and dashes.
QString NetworkChaosManifest::resourceName(const QString& profileName, const char* action) {
    QString slug;
    for (const QChar c : profileName.toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) {
            slug += c;
        } else if (!slug.isEmpty() && !slug.endsWith(u'-')) {
            slug += u'-';
        }
    }
    slug = slug.left(40);
    while (slug.endsWith(u'-')) {
        slug.chop(1);
    }
    return QStringLiteral("veltrane-") + (slug.isEmpty() ? QStringLiteral("profile") : slug) +
           u'-' + QLatin1StringView(action);
}

namespace {

// Chaos Mesh takes its percentages as quoted numbers.
QString percent(double value) {
    return u'"' + QString::number(value, 'g', 12) + u'"';
}

// tc's rate units: "kbps" would be kilobytes.
QString rate(qint64 bytesPerSecond) {
    const qint64 bits = bytesPerSecond * 8;
    if (bits % 1'000'000 == 0) {
        return QStringLiteral("%1mbit").arg(bits / 1'000'000);
    }
    if (bits % 1'000 == 0) {
        return QStringLiteral("%1kbit").arg(bits / 1'000);
    }
    return QStringLiteral("%1bit").arg(bits);
}

// Chaos Mesh's external targets are addresses, networks or host names, never
// ports; each in double quotes, which a canonical destination never holds.
QString targets(const std::vector<Destination>& destinations) {
    if (destinations.empty()) {
        return {};
    }
    QString list = QStringLiteral("externalTargets:\n");
    for (const Destination& destination : destinations) {
        list +=
            QStringLiteral("  - \"%1\"\n").arg(QString::fromStdString(destination.addressText()));
    }
    return list;
}

QString selection(const char* action, const std::vector<Destination>& destinations) {
    return QStringLiteral("action: %1\n"
                          "mode: all\n"
                          "selector:\n"
                          "  namespaces:\n"
                          "    - default\n"
                          "direction: to\n")
               .arg(QLatin1StringView(action)) +
           targets(destinations);
}

} // namespace

namespace NetworkChaosManifest {

std::optional<QString> refusal(const std::vector<Destination>& destinations) {
    for (const Destination& destination : destinations) {
        if (destination.kind == Destination::Kind::anyAddress) {
            return QStringLiteral("Chaos Mesh selects traffic by address, not by port alone (%1)")
                .arg(QString::fromStdString(destination.text()));
        }
    }
    return std::nullopt;
}

QString indented(const QString& text, int spaces) {
    const QString margin(spaces, u' ');
    QString result;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        result += margin + line + u'\n';
    }
    return result;
}

std::vector<Resource> resources(const ThrottleParameters& p,
                                const std::vector<Destination>& destinations) {
    std::vector<Resource> list;
    // The pods' outgoing traffic carries the whole delay and loss: a round
    // trip through them meets each once, as a round trip through Veltrane's
    // two halves does.
    QString netem;
    if (p.latencyMs > 0) {
        netem += QStringLiteral("delay:\n  latency: %1ms\n").arg(p.latencyMs);
        if (p.jitterMs > 0) {
            netem += QStringLiteral("  jitter: %1ms\n").arg(p.jitterMs);
        }
        netem += QStringLiteral("  correlation: \"0\"\n");
        if (p.reorderPercent > 0.0) {
            netem += QStringLiteral("  reorder:\n    reorder: %1\n    correlation: \"0\"\n"
                                    "    gap: 0\n")
                         .arg(percent(p.reorderPercent));
        }
    }
    if (p.packetLossPercent > 0.0) {
        netem += QStringLiteral("loss:\n  loss: %1\n  correlation: %2\n")
                     .arg(percent(p.packetLossPercent), percent(p.lossCorrelationPercent));
    }
    if (p.duplicatePercent > 0.0) {
        netem += QStringLiteral("duplicate:\n  duplicate: %1\n  correlation: \"0\"\n")
                     .arg(percent(p.duplicatePercent));
    }
    if (!netem.isEmpty()) {
        list.push_back({"netem", selection("netem", destinations) + netem});
    }
    if (p.uploadBytesPerSecond > 0) {
        // The queue Veltrane gives a rate: 50 full frames. The bucket holds at
        // least a frame, and a timer tick's worth of the rate at a 250 Hz tick.
        const qint64 buffer = std::max<qint64>(p.uploadBytesPerSecond / 250, 1600);
        list.push_back({"bandwidth", selection("bandwidth", destinations) +
                                         QStringLiteral("bandwidth:\n  rate: %1\n  limit: %2\n"
                                                        "  buffer: %3\n")
                                             .arg(rate(p.uploadBytesPerSecond))
                                             .arg(50 * 1514)
                                             .arg(buffer)});
    }
    return list;
}

QString notes(const ThrottleParameters& p, const std::vector<Destination>& destinations) {
    QString text;
    if (p.downloadBytesPerSecond > 0) {
        text += QStringLiteral("# Download (%1) shapes what reaches the pods: Chaos Mesh limits "
                               "only their\n# outgoing traffic, so apply that rate to the pods "
                               "that send to them.\n")
                    .arg(rate(p.downloadBytesPerSecond));
    }
    for (const Destination& destination : destinations) {
        if (destination.port) {
            text += QStringLiteral("# Chaos Mesh selects no ports: %1 is shaped on every port.\n")
                        .arg(QString::fromStdString(destination.text()));
        }
    }
    return text;
}

QString write(const ThrottleParameters& p, const QString& profileName,
              const std::vector<Destination>& destinations) {
    QStringList documents;
    for (const Resource& resource : resources(p, destinations)) {
        documents << QStringLiteral("apiVersion: chaos-mesh.org/v1alpha1\n"
                                    "kind: NetworkChaos\n"
                                    "metadata:\n"
                                    "  name: %1\n"
                                    "spec:\n")
                             .arg(resourceName(profileName, resource.action)) +
                         indented(resource.spec, 2);
    }
    if (documents.isEmpty()) {
        return {};
    }
    return QStringLiteral("# Veltrane profile \"%1\" as Chaos Mesh NetworkChaos.\n"
                          "# Narrow the selector to the pods to slow down, then: kubectl "
                          "apply -f FILE\n")
               .arg(TerminalText::name(profileName)) +
           notes(p, destinations) + documents.join(QStringLiteral("---\n"));
}

} // namespace NetworkChaosManifest
