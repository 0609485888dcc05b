// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// A card of one section of the profile list: a row per profile, lines
// between them indented to the name column.
Card {
    id: card

    required property ProfileListViewModel viewModel
    required property ProfileListRows rows

    width: parent ? parent.width : 0

    Repeater {
        model: card.rows
        Column {
            id: entry
            required property int index
            required property string profileId
            required property string name
            required property bool showInMenu
            required property var chips
            required property string toggleLabel
            required property string scope
            required property string applicationName
            required property string applicationIconName
            width: card.width

            ProfileListRow {
                viewModel: card.viewModel
                profileId: entry.profileId
                name: entry.name
                showInMenu: entry.showInMenu
                chips: entry.chips
                toggleLabel: entry.toggleLabel
                scope: entry.scope
                applicationName: entry.applicationName
                applicationIconName: entry.applicationIconName
            }
            SeparatorLine {
                visible: entry.index < card.rows.count - 1
                indent: 58
            }
        }
    }
}
