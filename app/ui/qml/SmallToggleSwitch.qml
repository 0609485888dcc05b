// SPDX-License-Identifier: MIT
import QtQuick

// The small switch of the profile rows and the editor: the settings switch
// at 32 × 18, dimmed when disabled.
SettingsToggleSwitch {
    implicitWidth: 32
    implicitHeight: 18
    opacity: enabled ? 1 : 0.4
}
