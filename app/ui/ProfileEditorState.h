// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileChange.h"
#include "ThrottleProfile.h"

#include <QObject>

#include <functional>
#include <optional>

enum class ProfileEditorMode { create, edit, duplicate };

// What the one profile editor window shows and what happens when the user
// saves or deletes there. The panel and the profile list fill it in and then
// open the window; the editor only reads it. It is not reset when the window
// closes, so every opener sets all of it through prepare().
class ProfileEditorState final : public QObject {
    Q_OBJECT

public:
    // What the store made of it: the editor closes only when it was done.
    using Action = std::function<ProfileChange(const ThrottleProfile&)>;

    using QObject::QObject;

    // Absent for a new profile.
    const std::optional<ThrottleProfile>& profile() const { return m_profile; }
    ProfileEditorMode mode() const { return m_mode; }
    // Empty when the opener gave none.
    const Action& onSave() const { return m_onSave; }
    const Action& onDelete() const { return m_onDelete; }

    void prepare(std::optional<ThrottleProfile> profile, ProfileEditorMode mode, Action onSave,
                 Action onDelete) {
        m_profile = std::move(profile);
        m_mode = mode;
        m_onSave = std::move(onSave);
        m_onDelete = std::move(onDelete);
        Q_EMIT changed();
    }

Q_SIGNALS:
    void changed();

private:
    std::optional<ThrottleProfile> m_profile;
    ProfileEditorMode m_mode = ProfileEditorMode::create;
    Action m_onSave;
    Action m_onDelete;
};
