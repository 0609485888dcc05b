// SPDX-License-Identifier: MIT
#pragma once

#include "NetworkConditions.h"
#include "ProfileEditorInputs.h"
#include "ProfileFormData.h"
#include "ProfileManager.h"
#include "ProfileValidationResult.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// What is wrong with the editor's form: nothing is checked until the first
// save attempt, and from then on every change is checked at once. The error
// box also gives the store's reason when it did not take a save.
class ProfileEditorMessages final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool showsErrorBox READ showsErrorBox NOTIFY changed)
    Q_PROPERTY(QStringList errorLines READ errorLines NOTIFY changed)
    Q_PROPERTY(QString nameMessage READ nameMessage NOTIFY changed)
    Q_PROPERTY(QString downloadMessage READ downloadMessage NOTIFY changed)
    Q_PROPERTY(QString uploadMessage READ uploadMessage NOTIFY changed)
    Q_PROPERTY(QString latencyMessage READ latencyMessage NOTIFY changed)
    Q_PROPERTY(QString packetLossMessage READ packetLossMessage NOTIFY changed)
    Q_PROPERTY(QString dnsDelayMessage READ dnsDelayMessage NOTIFY changed)

public:
    ProfileEditorMessages(const ProfileEditorInputs& inputs, ProfileManager& profileManager,
                          QObject* parent = nullptr);

    bool hasAttemptedSave() const { return m_hasAttemptedSave; }
    const std::optional<ProfileValidationResult>& validationResult() const {
        return m_validationResult;
    }
    bool showsErrorBox() const;
    // "• " and each message, in check order.
    QStringList errorLines() const;
    // The message under a field; empty before the first save attempt.
    QString nameMessage() const;
    QString conditionMessage(Condition condition) const;
    QString downloadMessage() const { return conditionMessage(Condition::download); }
    QString uploadMessage() const { return conditionMessage(Condition::upload); }
    QString latencyMessage() const { return conditionMessage(Condition::latency); }
    QString packetLossMessage() const { return conditionMessage(Condition::packetLoss); }
    QString dnsDelayMessage() const { return conditionMessage(Condition::dnsDelay); }

    // Starts over: no save attempt, no messages.
    void reset();
    // A save attempt checks `form`, and every change from now on; the
    // store's last reason goes.
    const ProfileValidationResult& checkForSave(const ProfileFormData& form);
    // Checked at once after the first save attempt.
    void formChanged(const ProfileFormData& form);
    // Why the store did not take the save.
    void setStoreMessage(const QString& message);

Q_SIGNALS:
    void changed();

private:
    void validate(const ProfileFormData& form);
    bool showsInvalidForm() const;

    const ProfileEditorInputs& m_inputs;
    ProfileManager& m_profileManager;
    std::optional<ProfileValidationResult> m_validationResult;
    // Empty when the store took the last save.
    QString m_storeMessage;
    bool m_hasAttemptedSave = false;
};
