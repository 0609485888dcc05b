// SPDX-License-Identifier: MIT
import QtQuick

// The thin line between two rows of a card, starting `indent` from the left.
Item {
    property real indent: 14

    width: parent ? parent.width : 0
    implicitHeight: 1

    Rectangle {
        x: parent.indent
        width: parent.width - x
        height: 1
        color: Theme.inkAt(0.05)
    }
}
