// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// A captioned group of the editor's conditions on a card.
Column {
    id: group

    property string title
    default property alias rows: box.content

    spacing: 6

    SectionLabel {
        text: group.title
    }
    Card {
        id: box
        width: group.width
        padding: 12
        spacing: 12
    }
}
