// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T

// The on/off switch of the settings rows. It never flips itself: the owner
// binds `isOn` to the setting and answers `clicked` with the new value,
// so the switch always shows what is stored.
T.AbstractButton {
    id: control

    property bool isOn: false
    property real knobPadding: 2
    property color activeColor: Theme.activeGreen

    implicitWidth: 38
    implicitHeight: 22
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    // Checkable for a screen reader's check box and state; the button's own
    // flip is undone before clicked() reaches the owner.
    checkable: true
    checked: isOn
    onToggled: checked = Qt.binding(() => control.isOn)

    background: Rectangle {
        radius: height / 2
        color: control.checked ? control.activeColor : Theme.switchOffTrack
        border.color: control.checked ? control.activeColor : Theme.controlOutline
        Behavior on color { ColorAnimation { duration: Theme.switchDuration; easing.type: Easing.InOutQuad } }

        // Brightened while hovered.
        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            color: Qt.rgba(1, 1, 1, control.hovered && control.enabled ? 0.05 : 0)
        }
    }

    // The knob and its shadow, one point down, over the capsule.
    Rectangle {
        z: 1
        x: knob.x
        y: knob.y + 1
        width: knob.width
        height: knob.height
        radius: width / 2
        color: Qt.rgba(0, 0, 0, 0.2)
    }
    Rectangle {
        id: knob
        z: 1
        width: control.height - 2 * control.knobPadding
        height: width
        radius: width / 2
        y: control.knobPadding
        x: control.checked ? control.width - width - control.knobPadding : control.knobPadding
        color: "white"
        Behavior on x { NumberAnimation { duration: Theme.switchDuration; easing.type: Easing.InOutQuad } }
    }
    FocusRing {
        shown: control.visualFocus
        radius: height / 2
    }
}
