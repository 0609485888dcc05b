// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The panel's profiles: the built-in rows, then, after a divider, the
// custom ones. The list scrolls within the height the panel gives it, and
// keeps the row the keyboard reaches in view.
Flickable {
    id: scroller

    required property MenuBarViewModel viewModel
    // The panel is on screen: the rows animate only then.
    required property bool panelShown

    implicitHeight: profileList.implicitHeight
    contentHeight: profileList.implicitHeight
    interactive: contentHeight > height
    clip: interactive
    boundsBehavior: Flickable.StopAtBounds

    // The focused row in view, as the arrow keys and Tab move through them.
    function reveal(item: Item) {
        const bounds = item.mapToItem(profileList, 0, 0)
        if (bounds.y < contentY)
            contentY = bounds.y
        else if (bounds.y + item.height > contentY + height)
            contentY = bounds.y + item.height - height
    }

    // Up and Down walk the rows of both lists as one; from no row, the
    // selected one.
    function focusNextRow(from: Item, step: int) {
        const rows = []
        let selected = 0
        for (let i = 0; i < profileList.children.length; ++i) {
            const item = profileList.children[i]
            if (item instanceof ProfileRow && item.visible) {
                if (item.isSelected)
                    selected = rows.length
                rows.push(item)
            }
        }
        const next = rows[from ? rows.indexOf(from) + step : selected]
        if (next)
            next.forceActiveFocus(Qt.TabFocusReason)
    }

    Column {
        id: profileList
        width: parent.width

        Repeater {
            model: scroller.viewModel.profileRows.builtIn
            delegate: profileRow
        }
        MenuDivider {
            width: parent.width
            spacing: 0
            visible: scroller.viewModel.profileRows.hasCustom
        }
        Repeater {
            model: scroller.viewModel.profileRows.custom
            delegate: profileRow
        }
    }

    // Always shown while the list scrolls: the rows below the edge
    // must not look like the end of the list.
    T.ScrollIndicator.vertical: T.ScrollIndicator {
        implicitWidth: 8
        padding: 2
        contentItem: Rectangle {
            implicitWidth: 4
            radius: 2
            color: Theme.inkAt(0.25)
            visible: scroller.interactive
        }
    }

    Component {
        id: profileRow

        ProfileRow {
            id: row
            required property string profileId
            width: profileList.width
            animate: scroller.panelShown
            onClicked: scroller.viewModel.selectProfile(profileId)
            onEditRequested: scroller.viewModel.editProfile(profileId)
            onActiveFocusChanged: {
                if (activeFocus)
                    scroller.reveal(row)
            }
            Keys.onUpPressed: scroller.focusNextRow(row, -1)
            Keys.onDownPressed: scroller.focusNextRow(row, 1)
        }
    }
}
