// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The unit of a bandwidth: one segment per unit, the chosen one raised.
// Two choices read faster side by side than behind a pop-up. Each segment
// is a tab stop that Space chooses; Left and Right choose the neighbour.
Rectangle {
    id: picker

    property list<string> units
    property int currentIndex
    // Each segment is named prefix + key, for tests: "unitKbps".
    property string segmentPrefix: "unit"
    property list<string> segmentKeys: units

    signal activated(int index)

    implicitWidth: segments.implicitWidth + 4
    implicitHeight: segments.implicitHeight + 4
    radius: 6
    color: Theme.inkAt(0.06)
    border.color: Theme.inkAt(0.1)
    opacity: enabled ? 1 : 0.6

    function step(by: int) {
        const next = currentIndex + by
        if (next >= 0 && next < units.length)
            activated(next)
    }

    Row {
        id: segments
        x: 2
        y: 2

        Repeater {
            model: picker.units

            // Radio buttons to a screen reader, the chosen one checked; the
            // segment's own check is undone before the owner hears the click.
            T.RadioButton {
                id: segment
                required property int index
                required property string modelData
                readonly property bool chosen: index === picker.currentIndex

                objectName: picker.segmentPrefix + picker.segmentKeys[index]
                implicitWidth: Math.max(46, label.implicitWidth + 20)
                implicitHeight: 22
                autoExclusive: false
                checked: chosen
                onToggled: checked = Qt.binding(() => segment.chosen)
                Accessible.name: modelData
                Keys.onLeftPressed: picker.step(-1)
                Keys.onRightPressed: picker.step(1)

                Rectangle {
                    anchors.fill: parent
                    radius: 4
                    visible: segment.chosen
                    color: Theme.fieldBackground
                    border.color: Theme.inkAt(0.12)
                }
                Text {
                    id: label
                    anchors.centerIn: parent
                    text: segment.modelData
                    color: segment.chosen ? Theme.primaryText : Theme.secondaryText
                    font.pixelSize: Theme.buttonSize
                    font.weight: segment.chosen ? Font.DemiBold : Font.Normal
                }
                onClicked: picker.activated(index)

                FocusRing {
                    anchors.margins: 0
                    radius: 4
                    shown: segment.visualFocus
                }
            }
        }
    }
}
