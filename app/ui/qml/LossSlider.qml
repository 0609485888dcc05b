// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// Packet loss from 0 to 100 % in whole steps; the arrow keys move it by one,
// Page Up and Page Down by ten.
T.Slider {
    id: slider

    implicitWidth: 180
    implicitHeight: 18
    from: 0
    to: 100
    stepSize: 1
    snapMode: T.Slider.SnapAlways
    Keys.onPressed: event => {
        if (event.key !== Qt.Key_PageUp && event.key !== Qt.Key_PageDown)
            return
        value = Math.max(from, Math.min(to, value + (event.key === Qt.Key_PageUp ? 10 : -10)))
        moved()
        event.accepted = true
    }

    background: Rectangle {
        x: slider.leftPadding
        y: (slider.height - height) / 2
        width: slider.availableWidth
        height: 4
        radius: 2
        color: Theme.inkAt(0.12)

        Rectangle {
            width: slider.visualPosition * parent.width
            height: parent.height
            radius: 2
            color: Theme.accentTop
        }
    }

    handle: Rectangle {
        x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
        y: (slider.height - height) / 2
        width: 16
        height: 16
        radius: 8
        color: "white"
        border.color: Theme.inkAt(0.2)

        FocusRing {
            radius: width / 2
            shown: slider.visualFocus
        }
    }
}
