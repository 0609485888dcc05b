// SPDX-License-Identifier: MIT
#include "ProfileEditorViewModel.h"

#include "NumberText.h"
#include "ProfileStoreActions.h"
#include "ProfileValidator.h"

#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {

// A new profile starts with the limits most people try first.
ProfileFormData newProfileForm() {
    ProfileFormData form;
    form[Condition::download] = {QStringLiteral("10"), true, BandwidthUnit::mbps};
    form[Condition::upload] = {QStringLiteral("5"), true, BandwidthUnit::mbps};
    return form;
}

// The loss the slider can stand at: a finite number in the text.
std::optional<double> sliderLoss(const ProfileFormData& form) {
    const std::optional<double> loss =
        NumberText::decimalNumber(NumberText::trimmed(form[Condition::packetLoss].text));
    return loss && std::isfinite(*loss) ? loss : std::nullopt;
}

// An advanced condition is set by typing it: nothing, or a zero, leaves it
// out, so a profile that never had one means what it meant before.
bool setsCondition(const QString& text) {
    const QString trimmed = NumberText::trimmed(text);
    return !trimmed.isEmpty() && NumberText::decimalNumber(trimmed) != 0.0;
}

} // namespace

ProfileEditorViewModel::ProfileEditorViewModel(ProfileEditorState& state,
                                               ProfileManager& profileManager,
                                               WindowNavigator& navigator, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_profileManager(profileManager)
    , m_navigator(navigator) {
    // An opener that prepares the state while the window is open wants its
    // profile shown, not the one the window had.
    connect(&m_state, &ProfileEditorState::changed, this, &ProfileEditorViewModel::loadProfile);
    connect(this, &ProfileEditorViewModel::formChanged, this,
            &ProfileEditorViewModel::updateAdvancedConditions);
    connect(this, &ProfileEditorViewModel::validationChanged, this,
            &ProfileEditorViewModel::updateAdvancedConditions);
    loadProfile();
}

QString ProfileEditorViewModel::title() const {
    switch (m_mode) {
    case ProfileEditorMode::create:
        return QStringLiteral("Create Profile");
    case ProfileEditorMode::edit:
        return isReadOnly() ? QStringLiteral("View Profile") : QStringLiteral("Edit Profile");
    case ProfileEditorMode::duplicate:
        return QStringLiteral("Duplicate Profile");
    }
    return {};
}

bool ProfileEditorViewModel::isReadOnly() const {
    return m_mode == ProfileEditorMode::edit && m_profile && m_profile->isBuiltIn();
}

bool ProfileEditorViewModel::showsDelete() const {
    return m_mode == ProfileEditorMode::edit && m_profile && !m_profile->isBuiltIn();
}

QStringList ProfileEditorViewModel::unitNames() const {
    QStringList names;
    for (const BandwidthUnit unit : BandwidthUnits::allCases) {
        names << BandwidthUnits::displaySuffix(unit);
    }
    return names;
}

bool ProfileEditorViewModel::showsPacketLossSlider() const {
    return hasPacketLoss() && !isReadOnly() && sliderLoss(m_form).has_value();
}

double ProfileEditorViewModel::packetLossSliderValue() const {
    return std::clamp(sliderLoss(m_form).value_or(0.0), 0.0, 100.0);
}

void ProfileEditorViewModel::toggleAdvanced() {
    setShowsAdvanced(!m_showsAdvanced);
}

void ProfileEditorViewModel::setShowsAdvanced(bool shown) {
    if (shown == m_showsAdvanced) {
        return;
    }
    m_showsAdvanced = shown;
    Q_EMIT advancedChanged();
}

void ProfileEditorViewModel::setPacketLossFromSlider(double value) {
    setPacketLoss(QString::asprintf("%.0f", value));
}

bool ProfileEditorViewModel::showsInvalidForm() const {
    return m_hasAttemptedSave && m_validationResult && !m_validationResult->isValid;
}

bool ProfileEditorViewModel::showsErrorBox() const {
    return showsInvalidForm() || !m_storeMessage.isEmpty();
}

QStringList ProfileEditorViewModel::errorLines() const {
    QStringList lines;
    if (showsInvalidForm()) {
        for (const QString& error : m_validationResult->errors) {
            lines << QStringLiteral("• ") + error;
        }
    }
    if (!m_storeMessage.isEmpty()) {
        lines << QStringLiteral("• ") + m_storeMessage;
    }
    return lines;
}

QString ProfileEditorViewModel::nameMessage() const {
    if (!m_hasAttemptedSave || !m_validationResult) {
        return {};
    }
    return m_validationResult->nameError;
}

QString ProfileEditorViewModel::conditionMessage(Condition condition) const {
    if (!m_hasAttemptedSave || !m_validationResult) {
        return {};
    }
    const auto it = m_validationResult->conditionErrors.find(condition);
    return it == m_validationResult->conditionErrors.end() ? QString() : it->second;
}

void ProfileEditorViewModel::updateAdvancedConditions() {
    m_advancedConditions.update(
        m_form, [this](Condition condition) { return conditionMessage(condition); });
}

void ProfileEditorViewModel::loadProfile() {
    m_profile = m_state.profile();
    m_mode = m_state.mode();
    m_onSave = m_state.onSave();
    m_onDelete = m_state.onDelete();
    if (m_profile) {
        m_form = ProfileFormData::from(*m_profile);
        if (m_mode == ProfileEditorMode::duplicate) {
            m_form.name += QStringLiteral(" Copy");
        }
    } else {
        m_form = newProfileForm();
    }
    m_validationResult.reset();
    m_storeMessage.clear();
    m_hasAttemptedSave = false;
    m_isSaving = false;
    m_showingDeleteConfirmation = false;
    setShowsAdvanced(m_profile && m_profile->conditions.hasAdvancedConditions());
    Q_EMIT inputsChanged();
    Q_EMIT formChanged();
    Q_EMIT validationChanged();
    Q_EMIT flagsChanged();
}

void ProfileEditorViewModel::validateForm() {
    QStringList names;
    for (const ThrottleProfile& profile : m_profileManager.allProfiles()) {
        names << profile.name;
    }
    m_validationResult = ProfileValidator::validateProfile(m_form, names, editedId());
    Q_EMIT validationChanged();
}

void ProfileEditorViewModel::saveProfile() {
    if (isReadOnly() || m_isSaving) {
        return;
    }
    m_hasAttemptedSave = true;
    m_storeMessage.clear();
    validateForm();
    if (!m_validationResult->isValid) {
        for (const auto& [condition, message] : m_validationResult->conditionErrors) {
            if (NetworkConditions::field(condition).advanced) {
                setShowsAdvanced(true);
            }
        }
        return;
    }
    m_isSaving = true;
    Q_EMIT flagsChanged();
    // Creating and duplicating always make a new profile.
    const ThrottleProfile profile = m_form.to(editedId().value_or(QUuid::createUuid()), false);
    // Without an opener's action the profile still goes to the store: a save
    // must never be dropped.
    const ProfileChange change =
        m_onSave ? m_onSave(profile) : ProfileStoreActions::save(m_profileManager, profile);
    m_isSaving = false;
    Q_EMIT flagsChanged();
    if (change.ok()) {
        close();
        return;
    }
    // The form stays, with the store's reason. A profile the store kept in
    // memory but could not write is the one being edited from now on, so
    // that saving again retries the write rather than making a second one.
    if (change.profile) {
        m_profile = change.profile;
        m_mode = ProfileEditorMode::edit;
        Q_EMIT inputsChanged();
    }
    m_storeMessage = change.message;
    Q_EMIT validationChanged();
}

void ProfileEditorViewModel::duplicateProfile() {
    if (!m_profile) {
        return;
    }
    ProfileStoreActions::duplicate(m_profileManager, *m_profile);
    close();
}

void ProfileEditorViewModel::requestDelete() {
    if (!showsDelete()) {
        return;
    }
    m_showingDeleteConfirmation = true;
    Q_EMIT flagsChanged();
}

void ProfileEditorViewModel::confirmDelete() {
    m_showingDeleteConfirmation = false;
    Q_EMIT flagsChanged();
    // Without the opener's delete action the button does nothing.
    if (m_onDelete && m_profile) {
        m_onDelete(*m_profile);
        close();
    }
}

void ProfileEditorViewModel::cancelDelete() {
    m_showingDeleteConfirmation = false;
    Q_EMIT flagsChanged();
}

void ProfileEditorViewModel::close() {
    m_navigator.closeWindow(WindowNavigator::profileEditor);
}

BandwidthUnit ProfileEditorViewModel::unitAt(int index) {
    return index == static_cast<int>(BandwidthUnit::kbps) ? BandwidthUnit::kbps
                                                          : BandwidthUnit::mbps;
}

void ProfileEditorViewModel::setName(const QString& value) {
    ProfileFormData next = m_form;
    next.name = value;
    setForm(next);
}

void ProfileEditorViewModel::setText(Condition condition, const QString& value) {
    ProfileFormData next = m_form;
    next[condition].text = value;
    setForm(next);
}

void ProfileEditorViewModel::setUnit(Condition condition, int index) {
    ProfileFormData next = m_form;
    next[condition].unit = unitAt(index);
    setForm(next);
}

void ProfileEditorViewModel::setOn(Condition condition, bool on) {
    ProfileFormData next = m_form;
    next[condition].isOn = on;
    setForm(next);
}

void ProfileEditorViewModel::setAdvancedCondition(Condition condition, const QString& value) {
    ProfileFormData next = m_form;
    next[condition] = {value, setsCondition(value)};
    setForm(next);
}

void ProfileEditorViewModel::setAdvancedRow(int row, const QString& value) {
    if (row >= 0 && row < m_advancedConditions.rowCount()) {
        setAdvancedCondition(m_advancedConditions.conditionAt(row), value);
    }
}

void ProfileEditorViewModel::setForm(const ProfileFormData& form) {
    if (isReadOnly() || form == m_form) {
        return;
    }
    m_form = form;
    Q_EMIT formChanged();
    if (m_hasAttemptedSave) {
        validateForm();
    }
}

std::optional<QUuid> ProfileEditorViewModel::editedId() const {
    if (m_mode == ProfileEditorMode::edit && m_profile) {
        return m_profile->id();
    }
    return std::nullopt;
}
