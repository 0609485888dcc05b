// SPDX-License-Identifier: MIT
#include "ChaosWorkflowManifest.h"

#include "NetworkChaosManifest.h"
#include "ProfileSchedule.h"
#include "TerminalText.h"

#include <QStringList>

namespace {

using NetworkChaosManifest::indented;

// A Go duration, as deadline and @every read it.
QString duration(std::int64_t ms) {
    return ms % 1000 == 0 ? QStringLiteral("%1s").arg(ms / 1000) : QStringLiteral("%1ms").arg(ms);
}

// What Chaos Mesh shapes for a phase. An outage loses everything the pods
// send, as Veltrane shapes one: with the same selection and targets as
// every other phase, where a partition would need the other side named as
// pods or addresses and blocks by firewall rules rather than by netem.
std::vector<NetworkChaosManifest::Resource> resourcesOf(const SchedulePhase& phase,
                                                        const std::vector<Destination>& targets) {
    ThrottleParameters parameters = phase.parameters;
    if (phase.outage) {
        parameters = {};
        parameters.packetLossPercent = 100.0;
    }
    return NetworkChaosManifest::resources(parameters, targets);
}

QString chaosTemplate(const QString& name, const QString& deadline,
                      const NetworkChaosManifest::Resource& resource) {
    return QStringLiteral("- name: %1\n  templateType: NetworkChaos\n").arg(name) + deadline +
           QStringLiteral("  networkChaos:\n") + indented(resource.spec, 4);
}

// A phase's templates, its own named `name`: one NetworkChaos, two side by
// side, or a pause where it shapes nothing. `deadline` is empty for a
// phase that holds.
QString phaseTemplates(const QString& name, const QString& deadline,
                       const std::vector<NetworkChaosManifest::Resource>& resources) {
    if (resources.empty()) {
        return QStringLiteral("- name: %1\n  templateType: Suspend\n").arg(name) + deadline;
    }
    if (resources.size() == 1) {
        return chaosTemplate(name, deadline, resources.front());
    }
    QString children;
    QString templates;
    for (const NetworkChaosManifest::Resource& resource : resources) {
        const QString child = name + u'-' + QLatin1StringView(resource.action);
        children += QStringLiteral("    - %1\n").arg(child);
        templates += chaosTemplate(child, deadline, resource);
    }
    return QStringLiteral("- name: %1\n  templateType: Parallel\n").arg(name) + deadline +
           QStringLiteral("  children:\n") + children + templates;
}

} // namespace

namespace ChaosWorkflowManifest {

std::optional<QString> refusal(const ThrottleSchedule& schedule) {
    if (schedule.phases.empty()) {
        return QStringLiteral("a recorded link changes its rate every %1 ms, and Chaos Mesh "
                              "sequences whole chaos, not rate steps; export it with --format tc")
            .arg(schedule.trace.stepMs);
    }
    for (std::size_t i = 0; i < schedule.phases.size(); ++i) {
        const SchedulePhase& phase = schedule.phases[i];
        const bool holds = !schedule.repeat && i + 1 == schedule.phases.size();
        if (!holds && phase.durationMs < kMinPhaseMs) {
            return QStringLiteral("%1 lasts %2 ms, and Chaos Mesh takes about a second to start "
                                  "or end a chaos: it cannot time a phase shorter than 1 s")
                .arg(TerminalText::name(
                    ProfileSchedule::phaseLabel(i, QString::fromStdString(phase.name))))
                .arg(phase.durationMs);
        }
    }
    return std::nullopt;
}

QString write(const ThrottleSchedule& schedule, const QString& profileName,
              const std::vector<Destination>& destinations) {
    const std::vector<SchedulePhase>& phases = schedule.phases;
    const bool repeat = schedule.repeat && phases.size() > 1;
    std::int64_t cycleMs = 0;
    QString children;
    QString templates;
    QStringList listing;
    QStringList notes;
    bool outages = false;
    for (std::size_t i = 0; i < phases.size(); ++i) {
        const SchedulePhase& phase = phases[i];
        const bool holds = !repeat && i + 1 == phases.size();
        const auto resources = resourcesOf(phase, destinations);
        const QString label = ProfileSchedule::phaseLabel(i, QString::fromStdString(phase.name));
        listing << QStringLiteral("# %1: %2%3\n")
                       .arg(TerminalText::name(label),
                            phase.outage ? QStringLiteral("outage, ") : QString(),
                            holds ? QStringLiteral("holds") : duration(phase.durationMs));
        cycleMs += phase.durationMs;
        outages = outages || phase.outage;
        // A last phase that shapes nothing is the Workflow's end.
        if (holds && resources.empty()) {
            continue;
        }
        const QString name = QStringLiteral("phase-%1").arg(i + 1);
        children += QStringLiteral("    - %1\n").arg(name);
        const QString deadline =
            holds ? QString() : QStringLiteral("  deadline: %1\n").arg(duration(phase.durationMs));
        templates += phaseTemplates(name, deadline, resources);
        if (!phase.outage) {
            notes << NetworkChaosManifest::notes(phase.parameters, destinations);
        }
    }
    notes.removeDuplicates();
    // The cycle's own deadline ends each run when the next is due, whatever
    // starting and ending its chaos took; Allow lets the next run start even
    // if the last is still being cleaned up, where Forbid would skip it and
    // leave the pods unshaped for a whole cycle.
    const QString entry =
        QStringLiteral("entry: phases\ntemplates:\n"
                       "- name: phases\n  templateType: Serial\n") +
        (repeat ? QStringLiteral("  deadline: %1\n").arg(duration(cycleMs)) : QString()) +
        QStringLiteral("  children:\n") + children + templates;
    const QString name = NetworkChaosManifest::resourceName(profileName, "phases");
    QString text =
        QStringLiteral("# Veltrane profile \"%1\" as a Chaos Mesh %2: %3 phases, %4.\n"
                       "# Narrow the selector to the pods to slow down, then: kubectl "
                       "apply -f FILE\n")
            .arg(TerminalText::name(profileName),
                 repeat ? QStringLiteral("Schedule of a Workflow") : QStringLiteral("Workflow"))
            .arg(phases.size())
            .arg(repeat ? QStringLiteral("repeating") : QStringLiteral("once"));
    text += listing.join(QString());
    if (outages) {
        text += QStringLiteral("# An outage loses every packet the pods send.\n");
    }
    if (repeat) {
        text += QStringLiteral("# A cycle starts every %1; starting and ending each chaos takes "
                               "Chaos Mesh a moment\n# of the phase it starts.\n")
                    .arg(duration(cycleMs));
    } else {
        text += QStringLiteral("# The last phase holds until the Workflow is deleted.\n");
    }
    text += notes.join(QString());
    text += QStringLiteral("apiVersion: chaos-mesh.org/v1alpha1\n");
    if (!repeat) {
        return text + QStringLiteral("kind: Workflow\nmetadata:\n  name: %1\nspec:\n").arg(name) +
               indented(entry, 2);
    }
    return text +
           QStringLiteral("kind: Schedule\nmetadata:\n  name: %1\nspec:\n"
                          "  schedule: \"@every %2\"\n"
                          "  concurrencyPolicy: Allow\n"
                          "  historyLimit: 2\n"
                          "  type: Workflow\n"
                          "  workflow:\n")
               .arg(name, duration(cycleMs)) +
           indented(entry, 4);
}

} // namespace ChaosWorkflowManifest
