// SPDX-License-Identifier: MIT
#include "StandardUserDriver.h"

#include "WindowNavigator.h"

StandardUserDriver::StandardUserDriver(UserDriverDelegate& delegate, QString currentVersion,
                                       std::function<bool()> applicationIsInFocus)
    : m_delegate(delegate)
    , m_applicationIsInFocus(std::move(applicationIsInFocus))
    , m_session(std::move(currentVersion)) {}

void StandardUserDriver::openWindow() {
    m_windowOpen = true;
    if (m_navigator) {
        // Also brings an open window to the front.
        m_navigator->openWindow(WindowNavigator::softwareUpdate);
    }
}

void StandardUserDriver::showCheckingForUpdates() {
    m_session.setStage(UpdateSession::Stage::checking);
    openWindow();
}

bool StandardUserDriver::showUpdateFound(const AppcastItem& update, const QString& releaseNotes,
                                         UpdateCheck check) {
    m_session.setUpdate(update, releaseNotes);
    const bool handleShowing =
        check == UpdateCheck::userInitiated ||
        !m_delegate.supportsGentleScheduledUpdateReminders() ||
        m_delegate.shouldHandleShowingScheduledUpdate(update, m_applicationIsInFocus());
    m_delegate.willHandleShowingUpdate(handleShowing, update, check);
    if (handleShowing) {
        showUpdateInFocus();
    }
    return handleShowing;
}

void StandardUserDriver::showUpdateInFocus() {
    openWindow();
    if (m_session.stage() == UpdateSession::Stage::updateFound) {
        m_delegate.didReceiveUserAttention(m_session.update());
    }
}

void StandardUserDriver::showUpToDate() {
    m_session.setStage(UpdateSession::Stage::upToDate);
    openWindow();
}

void StandardUserDriver::showUpdaterError(const QString& message) {
    m_session.setError(message);
    openWindow();
}

void StandardUserDriver::showDownloadProgress(qint64 received, qint64 expected) {
    m_session.setProgress(received, expected);
}

void StandardUserDriver::showInstalling() {
    m_session.setStage(UpdateSession::Stage::installing);
}

void StandardUserDriver::dismissUpdateSession() {
    m_delegate.willFinishUpdateSession();
    m_session.setStage(UpdateSession::Stage::idle);
    if (std::exchange(m_windowOpen, false) && m_navigator) {
        m_navigator->closeWindow(WindowNavigator::softwareUpdate);
    }
}
