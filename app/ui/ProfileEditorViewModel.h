// SPDX-License-Identifier: MIT
#pragma once

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
    Q_PROPERTY(QString jitter READ jitter WRITE setJitter NOTIFY formChanged)
    Q_PROPERTY(QString packetLossCorrelation READ packetLossCorrelation WRITE
                   setPacketLossCorrelation NOTIFY formChanged)
    Q_PROPERTY(QString reorder READ reorder WRITE setReorder NOTIFY formChanged)
    Q_PROPERTY(QString duplicate READ duplicate WRITE setDuplicate NOTIFY formChanged)
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
    Q_PROPERTY(QString jitterMessage READ jitterMessage NOTIFY validationChanged)
    Q_PROPERTY(QString packetLossCorrelationMessage READ packetLossCorrelationMessage NOTIFY
                   validationChanged)
    Q_PROPERTY(QString reorderMessage READ reorderMessage NOTIFY validationChanged)
    Q_PROPERTY(QString duplicateMessage READ duplicateMessage NOTIFY validationChanged)

    Q_PROPERTY(bool isSaving READ isSaving NOTIFY flagsChanged)
    Q_PROPERTY(bool showingDeleteConfirmation READ showingDeleteConfirmation NOTIFY flagsChanged)

public:
    using Field = ProfileValidationResult::ProfileField;

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
    QString downloadSpeed() const { return m_form.downloadSpeed; }
    int downloadUnit() const { return static_cast<int>(m_form.downloadUnit); }
    bool hasDownloadLimit() const { return m_form.hasDownloadLimit; }
    QString uploadSpeed() const { return m_form.uploadSpeed; }
    int uploadUnit() const { return static_cast<int>(m_form.uploadUnit); }
    bool hasUploadLimit() const { return m_form.hasUploadLimit; }
    QString latency() const { return m_form.latency; }
    bool hasLatency() const { return m_form.hasLatency; }
    QString packetLoss() const { return m_form.packetLoss; }
    bool hasPacketLoss() const { return m_form.hasPacketLoss; }
    QString dnsDelay() const { return m_form.dnsDelay; }
    bool hasDnsDelay() const { return m_form.hasDnsDelay; }
    QString jitter() const { return m_form.jitter; }
    QString packetLossCorrelation() const { return m_form.packetLossCorrelation; }
    QString reorder() const { return m_form.reorder; }
    QString duplicate() const { return m_form.duplicate; }

    void setName(const QString& value) { setField(&ProfileFormData::name, value); }
    void setDownloadSpeed(const QString& value) {
        setField(&ProfileFormData::downloadSpeed, value);
    }
    void setDownloadUnit(int index) { setField(&ProfileFormData::downloadUnit, unitAt(index)); }
    void setHasDownloadLimit(bool on) { setField(&ProfileFormData::hasDownloadLimit, on); }
    void setUploadSpeed(const QString& value) { setField(&ProfileFormData::uploadSpeed, value); }
    void setUploadUnit(int index) { setField(&ProfileFormData::uploadUnit, unitAt(index)); }
    void setHasUploadLimit(bool on) { setField(&ProfileFormData::hasUploadLimit, on); }
    void setLatency(const QString& value) { setField(&ProfileFormData::latency, value); }
    void setHasLatency(bool on) { setField(&ProfileFormData::hasLatency, on); }
    void setPacketLoss(const QString& value) { setField(&ProfileFormData::packetLoss, value); }
    void setHasPacketLoss(bool on) { setField(&ProfileFormData::hasPacketLoss, on); }
    void setDnsDelay(const QString& value) { setField(&ProfileFormData::dnsDelay, value); }
    void setHasDnsDelay(bool on) { setField(&ProfileFormData::hasDnsDelay, on); }
    void setJitter(const QString& value) {
        setAdvancedField(&ProfileFormData::jitter, &ProfileFormData::hasJitter, value);
    }
    void setPacketLossCorrelation(const QString& value) {
        setAdvancedField(&ProfileFormData::packetLossCorrelation,
                         &ProfileFormData::hasPacketLossCorrelation, value);
    }
    void setReorder(const QString& value) {
        setAdvancedField(&ProfileFormData::reorder, &ProfileFormData::hasReorder, value);
    }
    void setDuplicate(const QString& value) {
        setAdvancedField(&ProfileFormData::duplicate, &ProfileFormData::hasDuplicate, value);
    }

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
    QString fieldMessage(Field field) const;
    QString nameMessage() const { return fieldMessage(Field::name); }
    QString downloadMessage() const { return fieldMessage(Field::downloadBandwidth); }
    QString uploadMessage() const { return fieldMessage(Field::uploadBandwidth); }
    QString latencyMessage() const { return fieldMessage(Field::latency); }
    QString packetLossMessage() const { return fieldMessage(Field::packetLoss); }
    QString dnsDelayMessage() const { return fieldMessage(Field::dnsDelay); }
    QString jitterMessage() const { return fieldMessage(Field::jitter); }
    QString packetLossCorrelationMessage() const {
        return fieldMessage(Field::packetLossCorrelation);
    }
    QString reorderMessage() const { return fieldMessage(Field::reorder); }
    QString duplicateMessage() const { return fieldMessage(Field::duplicate); }

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

    template <typename T>
    void setField(T ProfileFormData::*field, const T& value) {
        ProfileFormData next = m_form;
        next.*field = value;
        setForm(next);
    }
    void setAdvancedField(QString ProfileFormData::*text, bool ProfileFormData::*isSet,
                          const QString& value);
    void setForm(const ProfileFormData& form);
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
    std::optional<ProfileValidationResult> m_validationResult;
    bool m_hasAttemptedSave = false;
    bool m_isSaving = false;
    bool m_showingDeleteConfirmation = false;
    bool m_showsAdvanced = false;
};
