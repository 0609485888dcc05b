// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Dims the panel while the helper works, with a spinning indicator. Taps
// pass through: the profile rows stay live.
Rectangle {
    id: overlay

    property bool running: true

    color: Theme.loadingDim

    Item {
        anchors.centerIn: parent
        width: 20
        height: 20
        scale: 1.2

        Repeater {
            model: 8
            Rectangle {
                id: tick
                required property int index
                x: 8.5
                y: 0
                width: 3
                height: 6
                radius: 1.5
                color: Theme.ink
                opacity: 0.25 + 0.75 * (tick.index / 7)
                transform: Rotation { origin.x: 1.5; origin.y: 10; angle: tick.index * 45 }
            }
        }

        RotationAnimator on rotation {
            running: overlay.running && overlay.visible
            from: 0
            to: 360
            duration: 800
            loops: Animation.Infinite
        }
    }
}
