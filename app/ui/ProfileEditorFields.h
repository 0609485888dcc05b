// SPDX-License-Identifier: MIT
#pragma once

#include "AdvancedConditionsModel.h"
#include "ApplicationChoiceModel.h"
#include "BandwidthUnit.h"
#include "DesktopEntries.h"
#include "NetworkConditions.h"
#include "ProfileEditorInputs.h"
#include "ProfileEditorMessages.h"
#include "ProfileFormData.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// The editor's form: the name, the five conditions with their switches and
// units, the Advanced section and the traffic it applies to. It holds every
// number as typed; a read-only profile's form takes no change.
class ProfileEditorFields final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY changed)
    Q_PROPERTY(QString downloadSpeed READ downloadSpeed WRITE setDownloadSpeed NOTIFY changed)
    Q_PROPERTY(int downloadUnit READ downloadUnit WRITE setDownloadUnit NOTIFY changed)
    Q_PROPERTY(bool hasDownloadLimit READ hasDownloadLimit WRITE setHasDownloadLimit NOTIFY changed)
    Q_PROPERTY(QString uploadSpeed READ uploadSpeed WRITE setUploadSpeed NOTIFY changed)
    Q_PROPERTY(int uploadUnit READ uploadUnit WRITE setUploadUnit NOTIFY changed)
    Q_PROPERTY(bool hasUploadLimit READ hasUploadLimit WRITE setHasUploadLimit NOTIFY changed)
    Q_PROPERTY(QString latency READ latency WRITE setLatency NOTIFY changed)
    Q_PROPERTY(bool hasLatency READ hasLatency WRITE setHasLatency NOTIFY changed)
    Q_PROPERTY(QString packetLoss READ packetLoss WRITE setPacketLoss NOTIFY changed)
    Q_PROPERTY(bool hasPacketLoss READ hasPacketLoss WRITE setHasPacketLoss NOTIFY changed)
    Q_PROPERTY(QString dnsDelay READ dnsDelay WRITE setDnsDelay NOTIFY changed)
    Q_PROPERTY(bool hasDnsDelay READ hasDnsDelay WRITE setHasDnsDelay NOTIFY changed)
    // The advanced conditions have no switches: an empty or zero text is an
    // absent condition, anything else is checked.
    Q_PROPERTY(AdvancedConditionsModel* advancedConditions READ advancedConditions CONSTANT)
    Q_PROPERTY(bool showsAdvanced READ showsAdvanced NOTIFY advancedChanged)
    // The unit pickers' entries, in the order of the unit indexes above.
    Q_PROPERTY(QList<QString> unitNames READ unitNames CONSTANT)
    // "Applies to": all traffic (0), only traffic to the list (1), one
    // destination a line, checked as it is typed, or only the traffic of an
    // installed application (2), chosen from a list.
    Q_PROPERTY(QList<QString> appliesToChoices READ appliesToChoices CONSTANT)
    Q_PROPERTY(int appliesTo READ appliesTo WRITE setAppliesTo NOTIFY changed)
    Q_PROPERTY(bool showsDestinations READ showsDestinations NOTIFY changed)
    Q_PROPERTY(QString destinations READ destinations WRITE setDestinations NOTIFY changed)
    Q_PROPERTY(
        QString destinationsMessage READ destinationsMessage NOTIFY destinationsMessageChanged)
    Q_PROPERTY(bool showsApplications READ showsApplications NOTIFY changed)
    Q_PROPERTY(ApplicationChoiceModel* applications READ applications CONSTANT)
    Q_PROPERTY(QString applicationMessage READ applicationMessage NOTIFY applicationMessageChanged)

public:
    // Each change is handed to `messages`, whose messages the Advanced rows
    // show. `entries` are the applications to choose from.
    ProfileEditorFields(const ProfileEditorInputs& inputs, ProfileEditorMessages& messages,
                        DesktopEntries entries, QObject* parent = nullptr);

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
    int appliesTo() const { return static_cast<int>(m_form.appliesTo); }
    bool showsDestinations() const {
        return m_form.appliesTo == ProfileFormData::AppliesTo::destinations;
    }
    QString destinations() const { return m_form.destinationsText; }
    // What is wrong with the list, naming the entry, as soon as it is typed;
    // that it is empty only once a save was tried.
    QString destinationsMessage() const;
    bool showsApplications() const {
        return m_form.appliesTo == ProfileFormData::AppliesTo::application;
    }
    ApplicationChoiceModel* applications() { return &m_applications; }
    // That none is chosen, once a save was tried.
    QString applicationMessage() const;

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
    void setAppliesTo(int index);
    // The "Changes Over Time" section's edits, whole.
    void setSchedule(const ProfileSchedule& schedule);
    bool isReadOnly() const { return m_inputs.isReadOnly(); }
    void setDestinations(const QString& lines);
    // The desktop id of the application the profile is for.
    void setApplication(const QString& desktopId);
    // A condition of the Advanced section is set by typing it: nothing, or a
    // zero, leaves it out.
    void setAdvancedCondition(Condition condition, const QString& value);
    // The Advanced section's row `row` was typed in.
    Q_INVOKABLE void setAdvancedRow(int row, const QString& value);

    // Folded unless the loaded profile has an advanced condition, or a save
    // attempt finds a fault in one: a message is never hidden in it.
    bool showsAdvanced() const { return m_showsAdvanced; }
    Q_INVOKABLE void toggleAdvanced();
    void setShowsAdvanced(bool shown);

    QStringList unitNames() const;
    QStringList appliesToChoices() const;

    // Fills the form from the inputs' profile, or the new profile's defaults.
    void load();

Q_SIGNALS:
    void changed();
    void advancedChanged();
    void destinationsMessageChanged();
    void applicationMessageChanged();

private:
    static BandwidthUnit unitAt(int index);

    void setText(Condition condition, const QString& value);
    void setUnit(Condition condition, int index);
    void setOn(Condition condition, bool on);
    void setForm(const ProfileFormData& form);
    // After every change of the form or of its messages.
    void updateAdvancedConditions();
    void updateApplications();

    const ProfileEditorInputs& m_inputs;
    ProfileEditorMessages& m_messages;
    ProfileFormData m_form;
    AdvancedConditionsModel m_advancedConditions;
    ApplicationChoiceModel m_applications;
    bool m_showsAdvanced = false;
};
