// SPDX-License-Identifier: MIT
#include "ProfileEditorFields.h"

#include "NumberText.h"
#include "ProfileValidator.h"

namespace {

// A new profile starts with the limits most people try first.
ProfileFormData newProfileForm() {
    ProfileFormData form;
    form[Condition::download] = {QStringLiteral("10"), true, BandwidthUnit::mbps};
    form[Condition::upload] = {QStringLiteral("5"), true, BandwidthUnit::mbps};
    return form;
}

// An advanced condition is set by typing it: nothing, or a zero, leaves it
// out, so a profile that never had one means what it meant before.
bool setsCondition(const QString& text) {
    const QString trimmed = NumberText::trimmed(text);
    return !trimmed.isEmpty() && NumberText::decimalNumber(trimmed) != 0.0;
}

} // namespace

ProfileEditorFields::ProfileEditorFields(const ProfileEditorInputs& inputs,
                                         ProfileEditorMessages& messages, DesktopEntries entries,
                                         QObject* parent)
    : QObject(parent)
    , m_inputs(inputs)
    , m_messages(messages)
    , m_applications(std::move(entries)) {
    connect(this, &ProfileEditorFields::changed, this,
            &ProfileEditorFields::updateAdvancedConditions);
    connect(&m_messages, &ProfileEditorMessages::changed, this,
            &ProfileEditorFields::updateAdvancedConditions);
    connect(this, &ProfileEditorFields::changed, this,
            &ProfileEditorFields::destinationsMessageChanged);
    connect(&m_messages, &ProfileEditorMessages::changed, this,
            &ProfileEditorFields::destinationsMessageChanged);
    connect(this, &ProfileEditorFields::changed, this, &ProfileEditorFields::updateApplications);
    connect(this, &ProfileEditorFields::changed, this,
            &ProfileEditorFields::applicationMessageChanged);
    connect(&m_messages, &ProfileEditorMessages::changed, this,
            &ProfileEditorFields::applicationMessageChanged);
    connect(&m_applications, &ApplicationChoiceModel::chosen, this,
            &ProfileEditorFields::setApplication);
}

QStringList ProfileEditorFields::unitNames() const {
    QStringList names;
    for (const BandwidthUnit unit : BandwidthUnits::allCases) {
        names << BandwidthUnits::displaySuffix(unit);
    }
    return names;
}

QStringList ProfileEditorFields::appliesToChoices() const {
    return {QStringLiteral("All traffic"), QStringLiteral("Only traffic to…"),
            QStringLiteral("Only an application")};
}

QString ProfileEditorFields::destinationsMessage() const {
    if (!showsDestinations()) {
        return {};
    }
    const ValidationResult check = ProfileValidator::validateDestinations(m_form.destinationsText);
    const bool empty = m_form.destinationsText.trimmed().isEmpty();
    if (check.isValid || (empty && !m_messages.hasAttemptedSave())) {
        return {};
    }
    return check.message.value_or(QString());
}

QString ProfileEditorFields::applicationMessage() const {
    const std::optional<ProfileValidationResult>& checked = m_messages.validationResult();
    return showsApplications() && m_messages.hasAttemptedSave() && checked
               ? checked->applicationError
               : QString();
}

void ProfileEditorFields::setAppliesTo(int index) {
    using AppliesTo = ProfileFormData::AppliesTo;
    if (index < static_cast<int>(AppliesTo::allTraffic) ||
        index > static_cast<int>(AppliesTo::application)) {
        return;
    }
    ProfileFormData next = m_form;
    next.appliesTo = static_cast<AppliesTo>(index);
    setForm(next);
}

void ProfileEditorFields::setApplication(const QString& desktopId) {
    ProfileFormData next = m_form;
    next.application = desktopId;
    setForm(next);
}

void ProfileEditorFields::setSchedule(const ProfileSchedule& schedule) {
    ProfileFormData next = m_form;
    next.schedule = schedule;
    setForm(next);
}

void ProfileEditorFields::setDestinations(const QString& lines) {
    ProfileFormData next = m_form;
    next.destinationsText = lines;
    setForm(next);
}

void ProfileEditorFields::toggleAdvanced() {
    setShowsAdvanced(!m_showsAdvanced);
}

void ProfileEditorFields::setShowsAdvanced(bool shown) {
    if (shown == m_showsAdvanced) {
        return;
    }
    m_showsAdvanced = shown;
    Q_EMIT advancedChanged();
}

void ProfileEditorFields::updateAdvancedConditions() {
    m_advancedConditions.update(
        m_form, [this](Condition condition) { return m_messages.conditionMessage(condition); });
}

void ProfileEditorFields::updateApplications() {
    m_applications.setChosen(m_form.application);
    m_applications.setShown(showsApplications());
}

void ProfileEditorFields::load() {
    const std::optional<ThrottleProfile>& profile = m_inputs.profile();
    if (profile) {
        m_form = ProfileFormData::from(*profile);
        if (m_inputs.mode() == ProfileEditorMode::duplicate) {
            m_form.name += QStringLiteral(" Copy");
        }
    } else {
        m_form = newProfileForm();
    }
    setShowsAdvanced(profile && profile->conditions.hasAdvancedConditions());
    // Read again for the form now shown: an application may have been
    // installed or removed meanwhile.
    m_applications.setShown(false);
    Q_EMIT changed();
}

BandwidthUnit ProfileEditorFields::unitAt(int index) {
    return index == static_cast<int>(BandwidthUnit::kbps) ? BandwidthUnit::kbps
                                                          : BandwidthUnit::mbps;
}

void ProfileEditorFields::setName(const QString& value) {
    ProfileFormData next = m_form;
    next.name = value;
    setForm(next);
}

void ProfileEditorFields::setText(Condition condition, const QString& value) {
    ProfileFormData next = m_form;
    next[condition].text = value;
    setForm(next);
}

void ProfileEditorFields::setUnit(Condition condition, int index) {
    ProfileFormData next = m_form;
    next[condition].unit = unitAt(index);
    setForm(next);
}

void ProfileEditorFields::setOn(Condition condition, bool on) {
    ProfileFormData next = m_form;
    next[condition].isOn = on;
    setForm(next);
}

void ProfileEditorFields::setAdvancedCondition(Condition condition, const QString& value) {
    ProfileFormData next = m_form;
    next[condition] = {value, setsCondition(value)};
    setForm(next);
}

void ProfileEditorFields::setAdvancedRow(int row, const QString& value) {
    if (row >= 0 && row < m_advancedConditions.rowCount()) {
        setAdvancedCondition(m_advancedConditions.conditionAt(row), value);
    }
}

void ProfileEditorFields::setForm(const ProfileFormData& form) {
    if (m_inputs.isReadOnly() || form == m_form) {
        return;
    }
    m_form = form;
    Q_EMIT changed();
    m_messages.formChanged(m_form);
}
