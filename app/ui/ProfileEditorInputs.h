// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileEditorState.h"
#include "ThrottleProfile.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

// What the profile editor was opened with, as the shared editor state had it
// when the form was loaded: the profile (absent for a new one), the mode, and
// the opener's save and delete actions; and what they make of the window.
class ProfileEditorInputs final : public QObject {
    Q_OBJECT

public:
    explicit ProfileEditorInputs(ProfileEditorState& state, QObject* parent = nullptr);

    // Takes the state's inputs as they are now.
    void load();

    const std::optional<ThrottleProfile>& profile() const { return m_profile; }
    ProfileEditorMode mode() const { return m_mode; }
    // Empty when the opener gave none.
    const ProfileEditorState::Action& onSave() const { return m_onSave; }
    const ProfileEditorState::Action& onDelete() const { return m_onDelete; }

    QString title() const;
    // Built-in profiles are shown, never changed.
    bool isReadOnly() const;
    bool showsDelete() const;
    // The id a save keeps: only editing replaces a profile.
    std::optional<QUuid> editedId() const;

    // A profile the store kept in memory but could not write is the one
    // being edited from now on, so that saving again retries the write
    // rather than making a second one.
    void editStoredProfile(const ThrottleProfile& profile);

Q_SIGNALS:
    void changed();

private:
    ProfileEditorState& m_state;
    std::optional<ThrottleProfile> m_profile;
    ProfileEditorMode m_mode = ProfileEditorMode::create;
    ProfileEditorState::Action m_onSave;
    ProfileEditorState::Action m_onDelete;
};
