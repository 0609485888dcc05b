// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileEditorFields.h"
#include "ProfileEditorMessages.h"
#include "ProfileManager.h"
#include "SchedulePhaseRows.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

// The editor's "Changes Over Time" section: the profile's phases, each
// playing the conditions of a profile of the store (copied when chosen) or
// an outage for as long as it lasts, once or repeating; or a recorded
// link's capacity imported per direction. Phases and a trace exclude each
// other, so each is offered only while the other is absent. Every change
// goes into the form's schedule; its messages are the form's, under the
// phase they name.
class ScheduleEditorModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(SchedulePhaseRows* phases READ phases CONSTANT)
    Q_PROPERTY(QString summary READ summary NOTIFY changed)
    Q_PROPERTY(bool repeat READ repeat WRITE setRepeat NOTIFY changed)
    Q_PROPERTY(bool hasPhases READ hasPhases NOTIFY changed)
    Q_PROPERTY(bool canAddPhase READ canAddPhase NOTIFY changed)
    Q_PROPERTY(bool canImportTrace READ canImportTrace NOTIFY changed)
    Q_PROPERTY(QStringList stepChoices READ stepChoices CONSTANT)
    Q_PROPERTY(int stepIndex READ stepIndex WRITE setStepIndex NOTIFY changed)
    // A trace's rates are per step: its step length is chosen before import.
    Q_PROPERTY(bool canChangeStep READ canChangeStep NOTIFY changed)
    Q_PROPERTY(bool hasDownloadTrace READ hasDownloadTrace NOTIFY changed)
    Q_PROPERTY(QString downloadTrace READ downloadTrace NOTIFY changed)
    Q_PROPERTY(bool hasUploadTrace READ hasUploadTrace NOTIFY changed)
    Q_PROPERTY(QString uploadTrace READ uploadTrace NOTIFY changed)
    Q_PROPERTY(QString traceMessage READ traceMessage NOTIFY changed)

public:
    // How long a phase added lasts.
    static constexpr std::int64_t kNewPhaseMs = 30'000;

    ScheduleEditorModel(ProfileEditorFields& fields, ProfileEditorMessages& messages,
                        ProfileManager& profileManager, QObject* parent = nullptr);

    SchedulePhaseRows* phases() { return &m_rows; }
    // "3 phases, repeating"; what a profile without a schedule does.
    QString summary() const;
    bool repeat() const { return schedule().repeat; }
    bool hasPhases() const { return !schedule().phases.empty(); }
    bool canAddPhase() const;
    bool canImportTrace() const { return schedule().phases.empty(); }
    QStringList stepChoices() const;
    int stepIndex() const;
    bool canChangeStep() const { return schedule().trace.empty(); }
    bool hasDownloadTrace() const { return !schedule().trace.downloadBytesPerSecond.empty(); }
    bool hasUploadTrace() const { return !schedule().trace.uploadBytesPerSecond.empty(); }
    // "12 min · mean 1.2 Mbps · lowest 0 bps · highest 4.8 Mbps".
    QString downloadTrace() const;
    QString uploadTrace() const;
    // Why the last import failed, else what a save found wrong in the trace.
    QString traceMessage() const;

    // Starts over for a freshly loaded form: no import message, the
    // default step.
    void reset();
    void setRepeat(bool repeat);
    void setStepIndex(int index);
    Q_INVOKABLE void addPhase();
    Q_INVOKABLE void removePhase(int row);
    // Swaps the phase with its neighbour above (-1) or below (+1).
    Q_INVOKABLE void movePhase(int row, int by);
    Q_INVOKABLE void setPhaseName(int row, const QString& name);
    // In seconds, as typed: "40", "0.5".
    Q_INVOKABLE void setPhaseDuration(int row, const QString& seconds);
    // An index of the row's choices: "Outage", a profile, or the phase's
    // conditions as saved when they match no profile.
    Q_INVOKABLE void choosePhaseConditions(int row, int choice);
    // A file in the packet-delivery format, read in steps of the chosen
    // length; a file that does not read leaves the trace as it was.
    Q_INVOKABLE void importDownloadTrace(const QUrl& file) { importTrace(false, file); }
    Q_INVOKABLE void importUploadTrace(const QUrl& file) { importTrace(true, file); }
    Q_INVOKABLE void removeDownloadTrace() { removeTrace(false); }
    Q_INVOKABLE void removeUploadTrace() { removeTrace(true); }

    // In milliseconds; nothing for a text that is no number of seconds.
    static std::optional<std::int64_t> durationMs(const QString& seconds);

Q_SIGNALS:
    void changed();

private:
    struct Choice {
        QString title;
        // Nothing: an outage.
        std::optional<NetworkConditions> conditions;
        // Outage and a profile name the phase; conditions as saved do not.
        bool namesPhase = true;
    };

    const ProfileSchedule& schedule() const { return m_fields.formData().schedule; }
    QList<Choice> choicesFor(const ProfilePhase& phase) const;
    void setSchedule(const ProfileSchedule& schedule);
    bool isRow(int row) const;
    // After every change of the form, its messages or the store.
    void refresh();
    QString traceSummary(const std::vector<std::int64_t>& rates) const;
    void importTrace(bool upload, const QUrl& file);
    void removeTrace(bool upload);

    ProfileEditorFields& m_fields;
    ProfileEditorMessages& m_messages;
    ProfileManager& m_profileManager;
    SchedulePhaseRows m_rows;
    // Each phase's duration as typed, kept while it reads as the phase's.
    QStringList m_durationTexts;
    std::int64_t m_stepMs = CapacityTrace::kDefaultStepMs;
    QString m_importMessage;
};
