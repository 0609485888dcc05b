// SPDX-License-Identifier: MIT
#pragma once

#include "UpdateSession.h"

#include <QObject>
#include <QString>

// The update window: what the running update session shows, in words, and
// the user's answers. It follows the session through checking, the found
// update, the download and installation, and the closing message.
class SoftwareUpdateViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(bool showsReleaseNotes READ showsReleaseNotes NOTIFY changed)
    Q_PROPERTY(QString releaseNotes READ releaseNotes NOTIFY changed)
    Q_PROPERTY(bool showsUpdateChoices READ showsUpdateChoices NOTIFY changed)
    Q_PROPERTY(bool showsProgress READ showsProgress NOTIFY changed)
    Q_PROPERTY(bool progressIsIndeterminate READ progressIsIndeterminate NOTIFY changed)
    Q_PROPERTY(double progress READ progress NOTIFY changed)
    Q_PROPERTY(QString progressText READ progressText NOTIFY changed)
    Q_PROPERTY(QString dismissText READ dismissText NOTIFY changed)

public:
    explicit SoftwareUpdateViewModel(UpdateSession& session, QObject* parent = nullptr);

    QString title() const;
    QString message() const;
    bool showsReleaseNotes() const {
        return showsUpdateChoices() && !m_session.releaseNotes().isEmpty();
    }
    // Styled text without anything that runs or loads.
    QString releaseNotes() const { return m_session.releaseNotes(); }
    bool showsUpdateChoices() const { return stage() == UpdateSession::Stage::updateFound; }
    bool showsProgress() const;
    bool progressIsIndeterminate() const { return stage() != UpdateSession::Stage::downloading; }
    // From 0 to 1.
    double progress() const;
    QString progressText() const;
    // The one button of stages without choices; empty when there is none.
    QString dismissText() const;

    Q_INVOKABLE void skipThisVersion() { choose(UpdateSession::Choice::skipThisVersion); }
    Q_INVOKABLE void remindMeLater() { choose(UpdateSession::Choice::dismiss); }
    Q_INVOKABLE void installUpdate() { choose(UpdateSession::Choice::installUpdate); }
    Q_INVOKABLE void dismiss() { choose(UpdateSession::Choice::dismiss); }
    // Return: installs a found update, acknowledges a message.
    Q_INVOKABLE void performDefaultAction();
    // Closing the window is dismissing what it shows.
    Q_INVOKABLE void windowVisibilityChanged(bool visible);

Q_SIGNALS:
    void changed();

private:
    UpdateSession::Stage stage() const { return m_session.stage(); }
    void choose(UpdateSession::Choice choice) { m_session.choose(choice); }

    UpdateSession& m_session;
};
