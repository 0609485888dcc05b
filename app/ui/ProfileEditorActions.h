// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileEditorFields.h"
#include "ProfileEditorInputs.h"
#include "ProfileEditorMessages.h"
#include "ProfileManager.h"
#include "WindowNavigator.h"

#include <QObject>

// What the editor's buttons do: save, duplicate, delete after a
// confirmation, or close. Saving hands the profile to the opener's save
// action and closes the window; a save the store did not take keeps the form
// with its reason.
class ProfileEditorActions final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY changed)
    Q_PROPERTY(bool showingDeleteConfirmation READ showingDeleteConfirmation NOTIFY changed)

public:
    ProfileEditorActions(ProfileEditorInputs& inputs, ProfileEditorFields& fields,
                         ProfileEditorMessages& messages, ProfileManager& profileManager,
                         WindowNavigator& navigator, QObject* parent = nullptr);

    bool isSaving() const { return m_isSaving; }
    bool showingDeleteConfirmation() const { return m_showingDeleteConfirmation; }

    // Starts over: not saving, no confirmation shown.
    void reset();
    Q_INVOKABLE void saveProfile();
    Q_INVOKABLE void duplicateProfile();
    Q_INVOKABLE void requestDelete();
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void cancelDelete();
    // The close button, "Cancel" and Escape: nothing is saved.
    Q_INVOKABLE void close();

Q_SIGNALS:
    void changed();

private:
    ProfileEditorInputs& m_inputs;
    ProfileEditorFields& m_fields;
    ProfileEditorMessages& m_messages;
    ProfileManager& m_profileManager;
    WindowNavigator& m_navigator;
    bool m_isSaving = false;
    bool m_showingDeleteConfirmation = false;
};
