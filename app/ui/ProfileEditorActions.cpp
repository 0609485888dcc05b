// SPDX-License-Identifier: MIT
#include "ProfileEditorActions.h"

#include "ProfileStoreActions.h"

#include <QUuid>

ProfileEditorActions::ProfileEditorActions(ProfileEditorInputs& inputs, ProfileEditorFields& fields,
                                           ProfileEditorMessages& messages,
                                           ProfileManager& profileManager,
                                           WindowNavigator& navigator, QObject* parent)
    : QObject(parent)
    , m_inputs(inputs)
    , m_fields(fields)
    , m_messages(messages)
    , m_profileManager(profileManager)
    , m_navigator(navigator) {}

void ProfileEditorActions::reset() {
    m_isSaving = false;
    m_showingDeleteConfirmation = false;
    Q_EMIT changed();
}

void ProfileEditorActions::saveProfile() {
    if (m_inputs.isReadOnly() || m_isSaving) {
        return;
    }
    const ProfileValidationResult& result = m_messages.checkForSave(m_fields.formData());
    if (!result.isValid) {
        for (const auto& [condition, message] : result.conditionErrors) {
            if (NetworkConditions::field(condition).advanced) {
                m_fields.setShowsAdvanced(true);
            }
        }
        return;
    }
    m_isSaving = true;
    Q_EMIT changed();
    // Creating and duplicating always make a new profile.
    const ThrottleProfile profile =
        m_fields.formData().to(m_inputs.editedId().value_or(QUuid::createUuid()), false);
    // Without an opener's action the profile still goes to the store: a save
    // must never be dropped.
    const ProfileChange change = m_inputs.onSave()
                                     ? m_inputs.onSave()(profile)
                                     : ProfileStoreActions::save(m_profileManager, profile);
    m_isSaving = false;
    Q_EMIT changed();
    if (change.ok()) {
        close();
        return;
    }
    // The form stays, with the store's reason.
    if (change.profile) {
        m_inputs.editStoredProfile(*change.profile);
    }
    m_messages.setStoreMessage(change.message);
}

void ProfileEditorActions::duplicateProfile() {
    if (!m_inputs.profile()) {
        return;
    }
    ProfileStoreActions::duplicate(m_profileManager, *m_inputs.profile());
    close();
}

void ProfileEditorActions::requestDelete() {
    if (!m_inputs.showsDelete()) {
        return;
    }
    m_showingDeleteConfirmation = true;
    Q_EMIT changed();
}

void ProfileEditorActions::confirmDelete() {
    m_showingDeleteConfirmation = false;
    Q_EMIT changed();
    // Without the opener's delete action the button does nothing.
    if (m_inputs.onDelete() && m_inputs.profile()) {
        m_inputs.onDelete()(*m_inputs.profile());
        close();
    }
}

void ProfileEditorActions::cancelDelete() {
    m_showingDeleteConfirmation = false;
    Q_EMIT changed();
}

void ProfileEditorActions::close() {
    m_navigator.closeWindow(WindowNavigator::profileEditor);
}
