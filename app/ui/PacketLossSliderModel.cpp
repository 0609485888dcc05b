// SPDX-License-Identifier: MIT
#include "PacketLossSliderModel.h"

#include "NumberText.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The loss the slider can stand at: a finite number in the text.
std::optional<double> sliderLoss(const ProfileFormData& form) {
    const std::optional<double> loss =
        NumberText::decimalNumber(NumberText::trimmed(form[Condition::packetLoss].text));
    return loss && std::isfinite(*loss) ? loss : std::nullopt;
}

} // namespace

PacketLossSliderModel::PacketLossSliderModel(const ProfileEditorInputs& inputs,
                                             ProfileEditorFields& fields, QObject* parent)
    : QObject(parent)
    , m_inputs(inputs)
    , m_fields(fields) {
    connect(&m_fields, &ProfileEditorFields::changed, this, &PacketLossSliderModel::changed);
}

bool PacketLossSliderModel::showsPacketLossSlider() const {
    return m_fields.hasPacketLoss() && !m_inputs.isReadOnly() &&
           sliderLoss(m_fields.formData()).has_value();
}

double PacketLossSliderModel::packetLossSliderValue() const {
    return std::clamp(sliderLoss(m_fields.formData()).value_or(0.0), 0.0, 100.0);
}

void PacketLossSliderModel::setPacketLossFromSlider(double value) {
    m_fields.setPacketLoss(QString::asprintf("%.0f", value));
}
