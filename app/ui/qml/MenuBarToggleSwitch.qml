// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The panel's master switch: the small switch, brightened while hovered.
SmallToggleSwitch {
    property bool disabled: false

    enabled: !disabled
    hoverEnabled: true
    brightened: hovered && enabled
}
