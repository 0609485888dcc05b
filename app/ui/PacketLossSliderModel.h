// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileEditorFields.h"
#include "ProfileEditorInputs.h"

#include <QObject>

// The slider under the editor's packet loss field: it stands at the typed
// loss and writes whole numbers into the field.
class PacketLossSliderModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool showsPacketLossSlider READ showsPacketLossSlider NOTIFY changed)
    Q_PROPERTY(double packetLossSliderValue READ packetLossSliderValue NOTIFY changed)

public:
    PacketLossSliderModel(const ProfileEditorInputs& inputs, ProfileEditorFields& fields,
                          QObject* parent = nullptr);

    // Only for a packet loss that reads as a number, and never read-only.
    bool showsPacketLossSlider() const;
    double packetLossSliderValue() const;
    // The slider writes whole numbers.
    Q_INVOKABLE void setPacketLossFromSlider(double value);

Q_SIGNALS:
    void changed();

private:
    const ProfileEditorInputs& m_inputs;
    ProfileEditorFields& m_fields;
};
