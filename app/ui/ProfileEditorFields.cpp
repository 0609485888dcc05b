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
                                         ProfileEditorMessages& messages, QObject* parent)
    : QObject(parent)
    , m_inputs(inputs)
    , m_messages(messages) {
    connect(this, &ProfileEditorFields::changed, this,
            &ProfileEditorFields::updateAdvancedConditions);
    connect(&m_messages, &ProfileEditorMessages::changed, this,
            &ProfileEditorFields::updateAdvancedConditions);
    connect(this, &ProfileEditorFields::changed, this,
            &ProfileEditorFields::destinationsMessageChanged);
    connect(&m_messages, &ProfileEditorMessages::changed, this,
            &ProfileEditorFields::destinationsMessageChanged);
}

QStringList ProfileEditorFields::unitNames() const {
    QStringList names;
    for (const BandwidthUnit unit : BandwidthUnits::allCases) {
        names << BandwidthUnits::displaySuffix(unit);
    }
    return names;
}

QStringList ProfileEditorFields::appliesToChoices() const {
    return {QStringLiteral("All traffic"), QStringLiteral("Only traffic to…")};
}

QString ProfileEditorFields::destinationsMessage() const {
    if (!m_form.onlyToDestinations) {
        return {};
    }
    const ValidationResult check = ProfileValidator::validateDestinations(m_form.destinationsText);
    const bool empty = m_form.destinationsText.trimmed().isEmpty();
    if (check.isValid || (empty && !m_messages.hasAttemptedSave())) {
        return {};
    }
    return check.message.value_or(QString());
}

void ProfileEditorFields::setAppliesTo(int index) {
    ProfileFormData next = m_form;
    next.onlyToDestinations = index == 1;
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
