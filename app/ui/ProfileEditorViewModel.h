// SPDX-License-Identifier: MIT
#pragma once

#include "DesktopEntries.h"
#include "PacketLossSliderModel.h"
#include "ProfileEditorActions.h"
#include "ProfileEditorFields.h"
#include "ProfileEditorInputs.h"
#include "ProfileEditorMessages.h"
#include "ProfileEditorState.h"
#include "ProfileManager.h"
#include "ScheduleEditorModel.h"
#include "WindowNavigator.h"

#include <QObject>
#include <QString>

// The profile editor window: creates, edits, duplicates or shows a profile,
// as the shared editor state says. The form, its messages, the loss slider,
// the schedule and the buttons' actions are models of their own.
class ProfileEditorViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY inputsChanged)
    Q_PROPERTY(bool isReadOnly READ isReadOnly NOTIFY inputsChanged)
    Q_PROPERTY(bool showsDelete READ showsDelete NOTIFY inputsChanged)
    Q_PROPERTY(bool showsDuplicate READ isReadOnly NOTIFY inputsChanged)
    Q_PROPERTY(bool showsSave READ showsSave NOTIFY inputsChanged)
    Q_PROPERTY(ProfileEditorFields* fields READ fields CONSTANT)
    Q_PROPERTY(ProfileEditorMessages* messages READ messages CONSTANT)
    Q_PROPERTY(PacketLossSliderModel* lossSlider READ lossSlider CONSTANT)
    Q_PROPERTY(ProfileEditorActions* actions READ actions CONSTANT)
    Q_PROPERTY(ScheduleEditorModel* schedule READ schedule CONSTANT)

public:
    // Loads the state's profile at once and again whenever an opener
    // prepares the state, which every opener does before it opens the window:
    // each opening shows a freshly loaded form. `entries` are the
    // applications a profile may be for; without them, none is installed.
    ProfileEditorViewModel(ProfileEditorState& state, ProfileManager& profileManager,
                           WindowNavigator& navigator,
                           DesktopEntries entries = DesktopEntries({}, QString()),
                           QObject* parent = nullptr);

    QString title() const { return m_inputs.title(); }
    bool isReadOnly() const { return m_inputs.isReadOnly(); }
    bool showsDelete() const { return m_inputs.showsDelete(); }
    bool showsSave() const { return !isReadOnly(); }

    ProfileEditorFields* fields() { return &m_fields; }
    ProfileEditorMessages* messages() { return &m_messages; }
    PacketLossSliderModel* lossSlider() { return &m_lossSlider; }
    ProfileEditorActions* actions() { return &m_actions; }
    ScheduleEditorModel* schedule() { return &m_schedule; }

    // Fills the form from the state's profile (or the new profile's defaults)
    // and starts over: no save attempt, no messages.
    Q_INVOKABLE void loadProfile();

Q_SIGNALS:
    void inputsChanged();

private:
    ProfileEditorState& m_state;
    ProfileEditorInputs m_inputs;
    ProfileEditorMessages m_messages;
    ProfileEditorFields m_fields;
    PacketLossSliderModel m_lossSlider;
    ProfileEditorActions m_actions;
    ScheduleEditorModel m_schedule;
};
