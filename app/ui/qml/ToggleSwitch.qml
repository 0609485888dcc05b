// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The one switch of every view: a capsule with a white knob, brightened
// while hovered; `large` is the settings rows' size. It shows isOn and
// reports a tap or Space with clicked(); the owner flips what isOn is bound
// to, so the binding is never broken.
T.AbstractButton {
    id: control

    property bool isOn: false
    property real knobPadding: 2
    property color activeColor: Theme.activeGreen
    property bool large: false

    implicitWidth: large ? 38 : 32
    implicitHeight: large ? 22 : 18
    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    // Checkable, so that a screen reader hears a check box and its state
    // (Qt Quick's controls set their own role over an Accessible.role); the
    // button's own flip is undone at once, before clicked() reaches the owner.
    checkable: true
    checked: isOn
    onToggled: checked = Qt.binding(() => control.isOn)

    // The outline stays when the switch is disabled, so that it never fades
    // into the background; only the fill and the knob do.
    Rectangle {
        z: 1
        anchors.fill: parent
        radius: height / 2
        color: "transparent"
        border.color: control.isOn ? control.activeColor : Theme.controlOutline
    }
    // Drawn as plain children: the templates' background is created late,
    // and the knob's shadow needs to name the knob.
    Item {
        anchors.fill: parent
        opacity: control.enabled ? 1 : Theme.disabledOpacity

        Rectangle {
            anchors.fill: parent
            radius: height / 2
            color: control.isOn ? control.activeColor : Theme.switchOffTrack
            Behavior on color {
                ColorAnimation { duration: Theme.switchDuration; easing.type: Easing.InOutQuad }
            }
        }
        Rectangle {
            anchors.fill: parent
            radius: height / 2
            color: Qt.rgba(1, 1, 1, 0.05)
            visible: control.hovered && control.enabled
        }
        // The knob's shadow: black at 0.2, one point down, softened by a
        // wider faint ring (no blur in the software renderer).
        Rectangle {
            x: knob.x - 0.5
            y: knob.y + 0.5
            width: knob.width + 1
            height: width
            radius: width / 2
            color: Qt.rgba(0, 0, 0, 0.08)
        }
        Rectangle {
            x: knob.x
            y: knob.y + 1
            width: knob.width
            height: width
            radius: width / 2
            color: Theme.knobShadow
        }
        Rectangle {
            id: knob
            objectName: "knob"
            x: control.isOn ? control.width - width - control.knobPadding : control.knobPadding
            y: control.knobPadding
            width: control.height - 2 * control.knobPadding
            height: width
            radius: width / 2
            color: "white"
            Behavior on x {
                NumberAnimation { duration: Theme.switchDuration; easing.type: Easing.InOutQuad }
            }
        }
    }
    FocusRing {
        shown: control.visualFocus
        radius: height / 2
    }
}
