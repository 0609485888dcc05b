// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationNames.h"
#include "ProfileEditorState.h"
#include "ProfileExchange.h"
#include "ProfileListRows.h"
#include "WindowNavigator.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class ProfileManager;

// The profile management window: every profile of the store in two
// sections, the built-in ones in the store's order and the custom ones by
// name, with their menu switches, the row menu, the delete confirmation and
// the way into the editor. The store's own change signals redraw the rows.
// A profile for an application is named as `names` name it (which outlive
// this), by its desktop id without them.
class ProfileListViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(ProfileListRows* builtInRows READ builtInRows CONSTANT)
    Q_PROPERTY(ProfileListRows* customRows READ customRows CONSTANT)
    Q_PROPERTY(bool showingDeleteConfirmation READ showingDeleteConfirmation NOTIFY
                   deleteConfirmationChanged)
    Q_PROPERTY(QString deleteConfirmationMessage READ deleteConfirmationMessage NOTIFY
                   deleteConfirmationChanged)
    Q_PROPERTY(bool canExport READ canExport NOTIFY canExportChanged)
    Q_PROPERTY(bool showingExchangeAlert READ showingExchangeAlert NOTIFY exchangeAlertChanged)
    Q_PROPERTY(QString exchangeAlertTitle READ exchangeAlertTitle NOTIFY exchangeAlertChanged)
    Q_PROPERTY(QString exchangeAlertMessage READ exchangeAlertMessage NOTIFY exchangeAlertChanged)

public:
    // The row menu's items, in menu order.
    enum class Action { Edit, Duplicate, Delete };
    Q_ENUM(Action)

    ProfileListViewModel(ProfileManager& profiles, ProfileEditorState& editorState,
                         WindowNavigator& navigator, ApplicationNames* names = nullptr,
                         QObject* parent = nullptr);

    ProfileListRows* builtInRows() { return &m_builtInRows; }
    ProfileListRows* customRows() { return &m_customRows; }
    bool showingDeleteConfirmation() const { return m_profileToDelete.has_value(); }
    QString deleteConfirmationMessage() const;
    // Export writes the user's own profiles; with none there is nothing to share.
    bool canExport() const { return !m_customRows.profiles().isEmpty(); }
    bool showingExchangeAlert() const { return !m_exchangeAlertMessage.isEmpty(); }
    const QString& exchangeAlertTitle() const { return m_exchangeAlertTitle; }
    const QString& exchangeAlertMessage() const { return m_exchangeAlertMessage; }

    // Each time the window appears the store reads its sources again.
    Q_INVOKABLE void appear();
    Q_INVOKABLE void addNewProfile();
    Q_INVOKABLE void toggleVisibility(const QString& profileId);
    Q_INVOKABLE void handleProfileAction(ProfileListViewModel::Action action,
                                         const QString& profileId);
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void cancelDelete();
    Q_INVOKABLE void done();
    // The files the dialogs chose. Both end in the alert: what was imported
    // or exported, or why nothing was.
    Q_INVOKABLE void importProfiles(const QUrl& file);
    Q_INVOKABLE void exportProfiles(const QUrl& file);
    Q_INVOKABLE void dismissExchangeAlert();

Q_SIGNALS:
    void deleteConfirmationChanged();
    void canExportChanged();
    void exchangeAlertChanged();

private:
    void refreshRows();
    std::optional<ThrottleProfile> rowProfile(const QString& profileId) const;
    void openEditor(std::optional<ThrottleProfile> profile, ProfileEditorMode mode);
    void showExchangeAlert(const QString& title, const QString& failedTitle, const QUrl& file,
                           const std::function<ProfileExchange::Outcome(const QString&)>& run);

    ProfileManager& m_profiles;
    ProfileEditorState& m_editorState;
    WindowNavigator& m_navigator;
    ProfileListRows m_builtInRows;
    ProfileListRows m_customRows;
    std::optional<ThrottleProfile> m_profileToDelete;
    QString m_exchangeAlertTitle;
    QString m_exchangeAlertMessage;
};
