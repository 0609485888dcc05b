// SPDX-License-Identifier: MIT
#include "ProfileListViewModel.h"

#include "ProfileManager.h"
#include "ProfileNameOrder.h"
#include "ProfileStoreActions.h"

ProfileListViewModel::ProfileListViewModel(ProfileManager& profiles,
                                           ProfileEditorState& editorState,
                                           WindowNavigator& navigator, ApplicationNames* names,
                                           QObject* parent)
    : QObject(parent)
    , m_profiles(profiles)
    , m_editorState(editorState)
    , m_navigator(navigator)
    , m_builtInRows(names)
    , m_customRows(names) {
    connect(&m_profiles, &ProfileManager::builtInProfilesChanged, this,
            &ProfileListViewModel::refreshRows);
    connect(&m_profiles, &ProfileManager::customProfilesChanged, this,
            &ProfileListViewModel::refreshRows);
    refreshRows();
}

QString ProfileListViewModel::deleteConfirmationMessage() const {
    if (!m_profileToDelete) {
        return {};
    }
    const QString& name = m_profileToDelete->name;
    return m_profileToDelete->isBuiltIn()
               ? QStringLiteral("This is a built-in profile. Are you sure you want to delete "
                                "'%1'? This cannot be undone.")
                     .arg(name)
               : QStringLiteral(
                     "Are you sure you want to delete '%1'? This action cannot be undone.")
                     .arg(name);
}

void ProfileListViewModel::appear() {
    m_profiles.loadBuiltInProfiles();
    m_profiles.loadCustomProfiles();
}

void ProfileListViewModel::addNewProfile() {
    openEditor(std::nullopt, ProfileEditorMode::create);
}

void ProfileListViewModel::toggleVisibility(const QString& profileId) {
    const std::optional<ThrottleProfile> profile = rowProfile(profileId);
    if (!profile) {
        return;
    }
    // Flips what the user saw, not what the file says now: another
    // program's change in between must not turn this tap around. The rows
    // follow the store's change signal.
    ProfileStoreActions::setShownInMenu(m_profiles, *profile, !profile->showInMenu);
}

void ProfileListViewModel::handleProfileAction(Action action, const QString& profileId) {
    std::optional<ThrottleProfile> profile = rowProfile(profileId);
    if (!profile) {
        return;
    }
    switch (action) {
    case Action::Edit:
        openEditor(std::move(profile), ProfileEditorMode::edit);
        break;
    case Action::Duplicate:
        // The copy shows up in the custom section through the store.
        ProfileStoreActions::duplicate(m_profiles, *profile);
        break;
    case Action::Delete:
        m_profileToDelete = std::move(profile);
        Q_EMIT deleteConfirmationChanged();
        break;
    }
}

void ProfileListViewModel::confirmDelete() {
    if (!m_profileToDelete) {
        return;
    }
    ProfileStoreActions::remove(m_profiles, *m_profileToDelete);
    m_profileToDelete.reset();
    Q_EMIT deleteConfirmationChanged();
}

void ProfileListViewModel::cancelDelete() {
    if (m_profileToDelete) {
        m_profileToDelete.reset();
        Q_EMIT deleteConfirmationChanged();
    }
}

void ProfileListViewModel::done() {
    m_navigator.closeWindow(WindowNavigator::profileList);
}

void ProfileListViewModel::importProfiles(const QUrl& file) {
    showExchangeAlert(QStringLiteral("Profiles Imported"), QStringLiteral("Import Failed"), file,
                      [this](const QString& path) {
                          // The rows follow the store's change signal.
                          return ProfileExchange::importFile(m_profiles, path,
                                                             ProfileManager::NameClash::rename);
                      });
}

void ProfileListViewModel::exportProfiles(const QUrl& file) {
    showExchangeAlert(QStringLiteral("Profiles Exported"), QStringLiteral("Export Failed"), file,
                      [this](const QString& path) {
                          return ProfileExchange::exportFile(m_customRows.profiles(), path);
                      });
}

void ProfileListViewModel::dismissExchangeAlert() {
    if (showingExchangeAlert()) {
        m_exchangeAlertTitle.clear();
        m_exchangeAlertMessage.clear();
        Q_EMIT exchangeAlertChanged();
    }
}

void ProfileListViewModel::showExchangeAlert(
    const QString& title, const QString& failedTitle, const QUrl& file,
    const std::function<ProfileExchange::Outcome(const QString&)>& run) {
    // A dialog may offer places of other machines (a portal's URL); the
    // store reads and writes local files only.
    if (!file.isLocalFile()) {
        m_exchangeAlertTitle = failedTitle;
        m_exchangeAlertMessage =
            QStringLiteral("Choose a file on this computer, not %1").arg(file.toDisplayString());
    } else {
        const ProfileExchange::Outcome outcome = run(file.toLocalFile());
        m_exchangeAlertTitle = outcome.ok() ? title : failedTitle;
        m_exchangeAlertMessage = outcome.message;
    }
    Q_EMIT exchangeAlertChanged();
}

void ProfileListViewModel::refreshRows() {
    const bool couldExport = canExport();
    m_builtInRows.setProfiles(m_profiles.builtInProfiles());
    m_customRows.setProfiles(ProfileNameOrder::sortedByName(m_profiles.customProfiles()));
    if (canExport() != couldExport) {
        Q_EMIT canExportChanged();
    }
}

std::optional<ThrottleProfile> ProfileListViewModel::rowProfile(const QString& profileId) const {
    const std::optional<QUuid> id = ThrottleProfile::idFromText(profileId);
    for (const ProfileListRows* rows : {&m_builtInRows, &m_customRows}) {
        for (const ThrottleProfile& profile : rows->profiles()) {
            if (id && profile.id() == *id) {
                return profile;
            }
        }
    }
    return std::nullopt;
}

void ProfileListViewModel::openEditor(std::optional<ThrottleProfile> profile,
                                      ProfileEditorMode mode) {
    // The actions outlive this window (the editor may stay open after the
    // list closes), so they hold the store, which lives as long as the
    // application, and nothing of this object.
    ProfileEditorState::Action onSave = ProfileStoreActions::saveAction(m_profiles);
    ProfileEditorState::Action onDelete;
    if (profile && !profile->isBuiltIn()) {
        onDelete = ProfileStoreActions::deleteAction(m_profiles);
    }
    m_editorState.prepare(std::move(profile), mode, std::move(onSave), std::move(onDelete));
    m_navigator.openWindow(WindowNavigator::profileEditor);
}
