// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// A hairline between the panel's sections, inset from its sides.
Item {
    id: divider

    property real spacing: 6

    implicitWidth: Theme.panelWidth
    implicitHeight: 1 + 2 * spacing

    Rectangle {
        x: Theme.panelInset
        y: divider.spacing
        width: divider.width - 2 * Theme.panelInset
        height: 1
        color: Theme.inkAt(0.06)
    }
}
