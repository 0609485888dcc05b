// SPDX-License-Identifier: MIT
#pragma once

#include "AdvancedConditionsModel.h"
#include "ProfileEditorState.h"
#include "ProfileFormData.h"
#include "ProfileManager.h"
#include "ProfileValidationResult.h"
#include "WindowNavigator.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// The profile editor window: creates, edits, duplicates or shows a profile,
// as the shared editor state says. The form holds every number as typed;
// nothing is checked until the first save attempt, and from then on every
// change is checked at once. Saving hands the profile to the opener's save
// action and closes the window.
class ProfileEditorViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY inputsChanged)
    Q_PROPERTY(bool isReadOnly READ isReadOnly NOTIFY inputsChanged)
    Q_PROPERTY(bool showsDelete READ showsDelete NOTIFY inputsChanged)
    Q_PROPERTY(bool showsDuplicate READ isReadOnly NOTIFY inputsChanged)
    Q_PROPERTY(bool showsSave READ showsSave NOTIFY inputsChanged)

    Q_PROPERTY(QString name READ name WRITE setName NOTIFY formChanged)
    Q_PROPERTY(QString downloadSpeed READ downloadSpeed WRITE setDownloadSpeed NOTIFY formChanged)
    Q_PROPERTY(int downloadUnit READ downloadUnit WRITE setDownloadUnit NOTIFY formChanged)
    Q_PROPERTY(
        bool hasDownloadLimit READ hasDownloadLimit WRITE setHasDownloadLimit NOTIFY formChanged)
    Q_PROPERTY(QString uploadSpeed READ uploadSpeed WRITE setUploadSpeed NOTIFY formChanged)
    Q_PROPERTY(int uploadUnit READ uploadUnit WRITE setUploadUnit NOTIFY formChanged)
    Q_PROPERTY(bool hasUploadLimit READ hasUploadLimit WRITE setHasUploadLimit NOTIFY formChanged)
    Q_PROPERTY(QString latency READ latency WRITE setLatency NOTIFY formChanged)
    Q_PROPERTY(bool hasLatency READ hasLatency WRITE setHasLatency NOTIFY formChanged)
    Q_PROPERTY(QString packetLoss READ packetLoss WRITE setPacketLoss NOTIFY formChanged)
    Q_PROPERTY(bool hasPacketLoss READ hasPacketLoss WRITE setHasPacketLoss NOTIFY formChanged)
    Q_PROPERTY(QString dnsDelay READ dnsDelay WRITE setDnsDelay NOTIFY formChanged)
    Q_PROPERTY(bool hasDnsDelay READ hasDnsDelay WRITE setHasDnsDelay NOTIFY formChanged)
    // The advanced conditions have no switches: an empty or zero text is an
    // absent condition, anything else is checked.
    Q_PROPERTY(AdvancedConditionsModel* advancedConditions READ advancedConditions CONSTANT)
    Q_PROPERTY(bool showsAdvanced READ showsAdvanced NOTIFY advancedChanged)
    // The unit pickers' entries, in the order of the unit indexes above.
    Q_PROPERTY(QList<QString> unitNames READ unitNames CONSTANT)
    Q_PROPERTY(bool showsPacketLossSlider READ showsPacketLossSlider NOTIFY formChanged)
    Q_PROPERTY(double packetLossSliderValue READ packetLossSliderValue NOTIFY formChanged)

    Q_PROPERTY(bool showsErrorBox READ showsErrorBox NOTIFY validationChanged)
    Q_PROPERTY(QStringList errorLines READ errorLines NOTIFY validationChanged)
    Q_PROPERTY(QString nameMessage READ nameMessage NOTIFY validationChanged)
    Q_PROPERTY(QString downloadMessage READ downloadMessage NOTIFY validationChanged)
    Q_PROPERTY(QString uploadMessage READ uploadMessage NOTIFY validationChanged)
    Q_PROPERTY(QString latencyMessage READ latencyMessage NOTIFY validationChanged)
    Q_PROPERTY(QString packetLossMessage READ packetLossMessage NOTIFY validationChanged)
    Q_PROPERTY(QString dnsDelayMessage READ dnsDelayMessage NOTIFY validationChanged)

    Q_PROPERTY(bool isSaving READ isSaving NOTIFY flagsChanged)
    Q_PROPERTY(bool showingDeleteConfirmation READ showingDeleteConfirmation NOTIFY flagsChanged)

public:
    // Loads the state's profile at once and again whenever an opener
    // prepares the state, which every opener does before it opens the window:
    // each opening shows a freshly loaded form.
    ProfileEditorViewModel(ProfileEditorState& state, ProfileManager& profileManager,
                           WindowNavigator& navigator, QObject* parent = nullptr);

    QString title() const;
    // Built-in profiles are shown, never changed.
    bool isReadOnly() const;
    bool showsDelete() const;
    bool showsSave() const { return !isReadOnly(); }

    const ProfileFormData& formData() const { return m_form; }
    QString name() const { return m_form.name; }
    QString downloadSpeed() const { return m_form[Condition::download].text; }
    int downloadUnit() const { return static_cast<int>(m_form[Condition::download].unit); }
    bool hasDownloadLimit() const { return m_form[Condition::download].isOn; }
    QString uploadSpeed() const { return m_form[Condition::upload].text; }
    int uploadUnit() const { return static_cast<int>(m_form[Condition::upload].unit); }
    bool hasUploadLimit() const { return m_form[Condition::upload].isOn; }
    QString latency() const { return m_form[Condition::latency].text; }
    bool hasLatency() const { return m_form[Condition::latency].isOn; }
    QString packetLoss() const { return m_form[Condition::packetLoss].text; }
    bool hasPacketLoss() const { return m_form[Condition::packetLoss].isOn; }
    QString dnsDelay() const { return m_form[Condition::dnsDelay].text; }
    bool hasDnsDelay() const { return m_form[Condition::dnsDelay].isOn; }
    AdvancedConditionsModel* advancedConditions() { return &m_advancedConditions; }

    void setName(const QString& value);
    void setDownloadSpeed(const QString& value) { setText(Condition::download, value); }
    void setDownloadUnit(int index) { setUnit(Condition::download, index); }
    void setHasDownloadLimit(bool on) { setOn(Condition::download, on); }
    void setUploadSpeed(const QString& value) { setText(Condition::upload, value); }
    void setUploadUnit(int index) { setUnit(Condition::upload, index); }
    void setHasUploadLimit(bool on) { setOn(Condition::upload, on); }
    void setLatency(const QString& value) { setText(Condition::latency, value); }
    void setHasLatency(bool on) { setOn(Condition::latency, on); }
    void setPacketLoss(const QString& value) { setText(Condition::packetLoss, value); }
    void setHasPacketLoss(bool on) { setOn(Condition::packetLoss, on); }
    void setDnsDelay(const QString& value) { setText(Condition::dnsDelay, value); }
    void setHasDnsDelay(bool on) { setOn(Condition::dnsDelay, on); }
    // A condition of the Advanced section is set by typing it: nothing, or a
    // zero, leaves it out.
    void setAdvancedCondition(Condition condition, const QString& value);
    // The Advanced section's row `row` was typed in.
    Q_INVOKABLE void setAdvancedRow(int row, const QString& value);

    // Folded unless the loaded profile has an advanced condition, or a save
    // attempt finds a fault in one: a message is never hidden in it.
    bool showsAdvanced() const { return m_showsAdvanced; }
    Q_INVOKABLE void toggleAdvanced();

    QStringList unitNames() const;
    // Only for a packet loss that reads as a number, and never read-only.
    bool showsPacketLossSlider() const;
    double packetLossSliderValue() const;
    // The slider writes whole numbers.
    Q_INVOKABLE void setPacketLossFromSlider(double value);

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

    bool isSaving() const { return m_isSaving; }
    bool showingDeleteConfirmation() const { return m_showingDeleteConfirmation; }

    // Fills the form from the state's profile (or the new profile's defaults)
    // and starts over: no save attempt, no messages.
    Q_INVOKABLE void loadProfile();
    void validateForm();
    Q_INVOKABLE void saveProfile();
    Q_INVOKABLE void duplicateProfile();
    Q_INVOKABLE void requestDelete();
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void cancelDelete();
    // The close button, "Cancel" and Escape: nothing is saved.
    Q_INVOKABLE void close();

Q_SIGNALS:
    void inputsChanged();
    void formChanged();
    void validationChanged();
    void flagsChanged();
    void advancedChanged();

private:
    static BandwidthUnit unitAt(int index);

    void setText(Condition condition, const QString& value);
    void setUnit(Condition condition, int index);
    void setOn(Condition condition, bool on);
    void setForm(const ProfileFormData& form);
    // After every change of the form or of its messages.
    void updateAdvancedConditions();
    void setShowsAdvanced(bool shown);
    // The id a save keeps: only editing replaces a profile.
    std::optional<QUuid> editedId() const;
    bool showsInvalidForm() const;

    ProfileEditorState& m_state;
    ProfileManager& m_profileManager;
    WindowNavigator& m_navigator;

    // The inputs, as the state had them when the form was loaded.
    std::optional<ThrottleProfile> m_profile;
    // Why the store did not take the last save; empty when it did.
    QString m_storeMessage;
    ProfileEditorMode m_mode = ProfileEditorMode::create;
    ProfileEditorState::Action m_onSave;
    ProfileEditorState::Action m_onDelete;

    ProfileFormData m_form;
    AdvancedConditionsModel m_advancedConditions;
    std::optional<ProfileValidationResult> m_validationResult;
    bool m_hasAttemptedSave = false;
    bool m_isSaving = false;
    bool m_showingDeleteConfirmation = false;
    bool m_showsAdvanced = false;
};
