// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T

// The prominent button: white text on the accent gradient, with a soft shadow
// in the accent colour drawn as shapes (the software renderer has no blur).
T.Button {
    id: control

    implicitWidth: Math.max(implicitContentWidth + 32, 80)
    implicitHeight: Math.max(Theme.buttonHeight, implicitContentHeight + 12)
    opacity: enabled ? 1 : 0.5

    background: Item {
        Repeater {
            model: 3
            Rectangle {
                required property int index
                x: -index
                y: 2 - index
                width: control.width + 2 * index
                height: control.height + 2 * index
                radius: 6 + index
                color: Qt.rgba(Theme.accentBottom.r, Theme.accentBottom.g, Theme.accentBottom.b, 0.3 / (index + 2))
            }
        }
        Rectangle {
            anchors.fill: parent
            radius: 6
            gradient: Gradient {
                GradientStop { position: 0; color: control.down ? Theme.accentBottom : Theme.accentTop }
                GradientStop { position: 1; color: Theme.accentBottom }
            }
        }
    }

    contentItem: Text {
        text: control.text
        color: "white"
        font.pixelSize: Theme.bodySize
        font.weight: Font.DemiBold
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    FocusRing {
        shown: control.visualFocus
    }
}
