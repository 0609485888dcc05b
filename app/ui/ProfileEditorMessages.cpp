// SPDX-License-Identifier: MIT
#include "ProfileEditorMessages.h"

#include "ProfileValidator.h"

ProfileEditorMessages::ProfileEditorMessages(const ProfileEditorInputs& inputs,
                                             ProfileManager& profileManager, QObject* parent)
    : QObject(parent)
    , m_inputs(inputs)
    , m_profileManager(profileManager) {}

bool ProfileEditorMessages::showsInvalidForm() const {
    return m_hasAttemptedSave && m_validationResult && !m_validationResult->isValid;
}

bool ProfileEditorMessages::showsErrorBox() const {
    return showsInvalidForm() || !m_storeMessage.isEmpty();
}

QStringList ProfileEditorMessages::errorLines() const {
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

QString ProfileEditorMessages::nameMessage() const {
    if (!m_hasAttemptedSave || !m_validationResult) {
        return {};
    }
    return m_validationResult->nameError;
}

QString ProfileEditorMessages::conditionMessage(Condition condition) const {
    if (!m_hasAttemptedSave || !m_validationResult) {
        return {};
    }
    const auto it = m_validationResult->conditionErrors.find(condition);
    return it == m_validationResult->conditionErrors.end() ? QString() : it->second;
}

void ProfileEditorMessages::reset() {
    m_validationResult.reset();
    m_storeMessage.clear();
    m_hasAttemptedSave = false;
    Q_EMIT changed();
}

const ProfileValidationResult& ProfileEditorMessages::checkForSave(const ProfileFormData& form) {
    m_hasAttemptedSave = true;
    m_storeMessage.clear();
    validate(form);
    return *m_validationResult;
}

void ProfileEditorMessages::formChanged(const ProfileFormData& form) {
    if (m_hasAttemptedSave) {
        validate(form);
    }
}

void ProfileEditorMessages::setStoreMessage(const QString& message) {
    m_storeMessage = message;
    Q_EMIT changed();
}

void ProfileEditorMessages::validate(const ProfileFormData& form) {
    QStringList names;
    for (const ThrottleProfile& profile : m_profileManager.allProfiles()) {
        names << profile.name;
    }
    m_validationResult = ProfileValidator::validateProfile(form, names, m_inputs.editedId());
    Q_EMIT changed();
}
