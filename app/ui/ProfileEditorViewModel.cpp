// SPDX-License-Identifier: MIT
#include "ProfileEditorViewModel.h"

ProfileEditorViewModel::ProfileEditorViewModel(ProfileEditorState& state,
                                               ProfileManager& profileManager,
                                               WindowNavigator& navigator, DesktopEntries entries,
                                               QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_inputs(state)
    , m_messages(m_inputs, profileManager)
    , m_fields(m_inputs, m_messages, std::move(entries))
    , m_lossSlider(m_inputs, m_fields)
    , m_actions(m_inputs, m_fields, m_messages, profileManager, navigator)
    , m_schedule(m_fields, m_messages, profileManager) {
    // An opener that prepares the state while the window is open wants its
    // profile shown, not the one the window had.
    connect(&m_state, &ProfileEditorState::changed, this, &ProfileEditorViewModel::loadProfile);
    connect(&m_inputs, &ProfileEditorInputs::changed, this, &ProfileEditorViewModel::inputsChanged);
    loadProfile();
}

void ProfileEditorViewModel::loadProfile() {
    m_inputs.load();
    // Before the form, so that loading it is not checked.
    m_messages.reset();
    m_fields.load();
    m_actions.reset();
    m_schedule.reset();
}
