// SPDX-License-Identifier: MIT
import QtQuick

// The one card of every view: a rounded, faintly filled box that holds rows
// stacked in a column, without padding (the settings' and the profile
// list's rows) or with it (the editor's groups of conditions).
Rectangle {
    id: card

    default property alias content: column.data
    property real padding: 0
    property alias spacing: column.spacing

    implicitHeight: column.implicitHeight + 2 * padding
    radius: 10
    color: Theme.inkAt(0.04)
    border.color: Theme.inkAt(0.06)

    Column {
        id: column
        x: card.padding
        y: card.padding
        width: card.width - 2 * card.padding
    }
}
