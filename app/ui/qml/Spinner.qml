// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick

// A small spinning progress indicator: twelve spokes fading around a circle.
// It turns only while it is visible.
Item {
    id: spinner

    property real size: 14

    implicitWidth: size
    implicitHeight: size

    Item {
        id: wheel
        anchors.fill: parent

        Repeater {
            model: 12
            Rectangle {
                id: spoke
                required property int index
                x: (spinner.size - width) / 2
                y: 0
                width: Math.max(1.5, spinner.size / 9)
                height: spinner.size * 0.28
                radius: width / 2
                color: Theme.inkAt(0.15 + 0.6 * spoke.index / 11)
                transform: Rotation {
                    origin.x: spoke.width / 2
                    origin.y: spinner.size / 2
                    angle: spoke.index * 30
                }
            }
        }

        RotationAnimation on rotation {
            running: spinner.visible && spinner.Window.visibility !== Window.Hidden
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
        }
    }
}
