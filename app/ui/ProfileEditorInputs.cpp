// SPDX-License-Identifier: MIT
#include "ProfileEditorInputs.h"

ProfileEditorInputs::ProfileEditorInputs(ProfileEditorState& state, QObject* parent)
    : QObject(parent)
    , m_state(state) {}

void ProfileEditorInputs::load() {
    m_profile = m_state.profile();
    m_mode = m_state.mode();
    m_onSave = m_state.onSave();
    m_onDelete = m_state.onDelete();
    Q_EMIT changed();
}

QString ProfileEditorInputs::title() const {
    switch (m_mode) {
    case ProfileEditorMode::create:
        return QStringLiteral("Create Profile");
    case ProfileEditorMode::edit:
        return isReadOnly() ? QStringLiteral("View Profile") : QStringLiteral("Edit Profile");
    case ProfileEditorMode::duplicate:
        return QStringLiteral("Duplicate Profile");
    }
    return {};
}

bool ProfileEditorInputs::isReadOnly() const {
    return m_mode == ProfileEditorMode::edit && m_profile && m_profile->isBuiltIn();
}

bool ProfileEditorInputs::showsDelete() const {
    return m_mode == ProfileEditorMode::edit && m_profile && !m_profile->isBuiltIn();
}

std::optional<QUuid> ProfileEditorInputs::editedId() const {
    if (m_mode == ProfileEditorMode::edit && m_profile) {
        return m_profile->id();
    }
    return std::nullopt;
}

void ProfileEditorInputs::editStoredProfile(const ThrottleProfile& profile) {
    m_profile = profile;
    m_mode = ProfileEditorMode::edit;
    Q_EMIT changed();
}
