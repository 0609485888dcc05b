// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick

// The one focus ring of every control: an accent outline just outside its
// parent, shown while the parent has the focus from the keyboard (a click
// gives the focus too, but needs no ring). The owner binds `shown`, usually
// to its visualFocus.
Rectangle {
    objectName: "focusRing"
    property bool shown: false

    anchors.fill: parent
    anchors.margins: -2
    z: 100
    visible: shown
    radius: 6
    color: "transparent"
    border.width: 2
    border.color: Theme.highlight
}
