// SPDX-License-Identifier: MIT
#pragma once

#include "UpdateSession.h"
#include "UserDriverDelegate.h"

#include <functional>

class WindowNavigator;

// Presents update sessions in the update window. An update that a scheduled
// check finds while the user works elsewhere may instead wait, as the
// delegate decides, until the updater is asked to show it.
class StandardUserDriver final {
public:
    StandardUserDriver(UserDriverDelegate& delegate, QString currentVersion,
                       std::function<bool()> applicationIsInFocus);

    StandardUserDriver(const StandardUserDriver&) = delete;
    StandardUserDriver& operator=(const StandardUserDriver&) = delete;

    // Without one, sessions run but no window opens.
    void setWindowNavigator(WindowNavigator* navigator) { m_navigator = navigator; }
    UpdateSession& session() { return m_session; }

    void showCheckingForUpdates();
    // True when the update is shown now, false when it waits.
    bool showUpdateFound(const AppcastItem& update, const QString& releaseNotes, UpdateCheck check);
    // Brings up the session's window: the waiting update, or whatever it shows.
    void showUpdateInFocus();
    void showUpToDate();
    void showUpdaterError(const QString& message);
    void showDownloadProgress(qint64 received, qint64 expected);
    void showInstalling();
    void dismissUpdateSession();

private:
    void openWindow();

    UserDriverDelegate& m_delegate;
    std::function<bool()> m_applicationIsInFocus;
    WindowNavigator* m_navigator = nullptr;
    UpdateSession m_session;
    bool m_windowOpen = false;
};
