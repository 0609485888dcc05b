// SPDX-License-Identifier: MIT
#pragma once

#include "Appcast.h"

#include <QObject>
#include <QString>

// What the update window shows of the running update session, and the
// user's choices there. The updater fills it in; the window's view model
// reads it and reports choices through choose().
class UpdateSession final : public QObject {
    Q_OBJECT

public:
    enum class Stage { idle, checking, updateFound, downloading, installing, upToDate, failed };
    Q_ENUM(Stage)
    // Dismissing means "Remind Me Later" for a found update, "Cancel" while
    // checking or downloading, and "OK" for a message.
    enum class Choice { skipThisVersion, installUpdate, dismiss };
    Q_ENUM(Choice)

    explicit UpdateSession(QString currentVersion, QObject* parent = nullptr)
        : QObject(parent)
        , m_currentVersion(std::move(currentVersion)) {}

    Stage stage() const { return m_stage; }
    const QString& currentVersion() const { return m_currentVersion; }
    // The update of the stages from updateFound on.
    const AppcastItem& update() const { return m_update; }
    // Styled text, safe to show.
    const QString& releaseNotes() const { return m_releaseNotes; }
    qint64 bytesReceived() const { return m_bytesReceived; }
    qint64 bytesExpected() const { return m_bytesExpected; }
    // Why the check or installation failed, a sentence for the user.
    const QString& errorMessage() const { return m_errorMessage; }

    void choose(Choice choice) { Q_EMIT chosen(choice); }

    void setStage(Stage stage) {
        m_stage = stage;
        Q_EMIT changed();
    }
    void setUpdate(AppcastItem update, QString releaseNotes) {
        m_update = std::move(update);
        m_releaseNotes = std::move(releaseNotes);
        setStage(Stage::updateFound);
    }
    void setProgress(qint64 received, qint64 expected) {
        m_bytesReceived = received;
        m_bytesExpected = expected;
        setStage(Stage::downloading);
    }
    void setError(QString message) {
        m_errorMessage = std::move(message);
        setStage(Stage::failed);
    }

Q_SIGNALS:
    void changed();
    void chosen(UpdateSession::Choice choice);

private:
    QString m_currentVersion;
    Stage m_stage = Stage::idle;
    AppcastItem m_update;
    QString m_releaseNotes;
    qint64 m_bytesReceived = 0;
    qint64 m_bytesExpected = 0;
    QString m_errorMessage;
};
