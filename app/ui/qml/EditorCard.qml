// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// A captioned group of the editor's conditions on a rounded card.
Column {
    id: card

    property string title
    default property alias rows: rows.data

    spacing: 6

    SectionLabel {
        text: card.title
    }
    Rectangle {
        width: card.width
        height: rows.implicitHeight + 24
        radius: 10
        color: Theme.inkAt(0.03)
        border.color: Theme.inkAt(0.07)

        Column {
            id: rows
            x: 12
            y: 12
            width: parent.width - 24
            spacing: 12
        }
    }
}
