// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileEditorState.h"
#include "ProfileListRows.h"
#include "WindowNavigator.h"

#include <QObject>
#include <QString>

#include <optional>

class ProfileManager;

// The profile management window: every profile of the store in two
// sections, the built-in ones in the store's order and the custom ones by
// name, with their menu switches, the row menu, the delete confirmation and
// the way into the editor. The store's own change signals redraw the rows.
class ProfileListViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(ProfileListRows* builtInRows READ builtInRows CONSTANT)
    Q_PROPERTY(ProfileListRows* customRows READ customRows CONSTANT)
    Q_PROPERTY(bool showingDeleteConfirmation READ showingDeleteConfirmation NOTIFY
                   deleteConfirmationChanged)
    Q_PROPERTY(QString deleteConfirmationMessage READ deleteConfirmationMessage NOTIFY
                   deleteConfirmationChanged)

public:
    // The row menu's items, in menu order.
    enum class Action { Edit, Duplicate, Delete };
    Q_ENUM(Action)

    ProfileListViewModel(ProfileManager& profiles, ProfileEditorState& editorState,
                         WindowNavigator& navigator, QObject* parent = nullptr);

    ProfileListRows* builtInRows() { return &m_builtInRows; }
    ProfileListRows* customRows() { return &m_customRows; }
    bool showingDeleteConfirmation() const { return m_profileToDelete.has_value(); }
    QString deleteConfirmationMessage() const;

    // Each time the window appears the store reads its sources again.
    Q_INVOKABLE void appear();
    Q_INVOKABLE void addNewProfile();
    Q_INVOKABLE void toggleVisibility(const QString& profileId);
    Q_INVOKABLE void handleProfileAction(ProfileListViewModel::Action action,
                                         const QString& profileId);
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void cancelDelete();
    Q_INVOKABLE void done();

Q_SIGNALS:
    void deleteConfirmationChanged();

private:
    void refreshRows();
    std::optional<ThrottleProfile> rowProfile(const QString& profileId) const;
    void openEditor(std::optional<ThrottleProfile> profile, ProfileEditorMode mode);

    ProfileManager& m_profiles;
    ProfileEditorState& m_editorState;
    WindowNavigator& m_navigator;
    ProfileListRows m_builtInRows;
    ProfileListRows m_customRows;
    std::optional<ThrottleProfile> m_profileToDelete;
};
