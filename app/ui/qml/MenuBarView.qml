// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The panel under the tray icon: exactly as wide as the design, as tall as
// its content up to the height the screen offers it, where the profiles
// scroll. Its clocks and animations run only while it is on screen. Escape
// closes it; Down, with nothing focused yet, goes to the selected row.
Rectangle {
    id: root

    required property MenuBarViewModel viewModel
    // The most the window may take on its screen; 0 for as much as it needs.
    property real maximumHeight: 0
    readonly property bool shown: visible && Window.visibility !== Window.Hidden
    // Never less than a few rows, however small the screen.
    readonly property real profileRoom: maximumHeight > 0
        ? Math.max(120, maximumHeight - 16 - top.implicitHeight - footer.implicitHeight)
        : profileList.implicitHeight

    implicitWidth: Theme.panelWidth
    implicitHeight: column.implicitHeight + 16
    width: Theme.panelWidth
    color: Theme.windowBackground

    onShownChanged: {
        if (shown)
            viewModel.appear()
    }
    Component.onCompleted: {
        if (shown)
            viewModel.appear()
    }

    focus: true
    Keys.onDownPressed: focusNextRow(null, 1)
    Shortcut {
        sequence: "Escape"
        enabled: !root.viewModel.showingDestructiveProfileConfirmation && !root.viewModel.showingError
        onActivated: root.Window.window.hide()
    }

    // The header, the running throttle and the footer stay in view; the
    // profiles take the height that is left and scroll within it.
    Column {
        id: column
        y: 8
        width: parent.width

        Column {
            id: top
            width: parent.width

            MenuBarHeader {
                width: parent.width
                viewModel: root.viewModel
            }
            ActiveThrottleSection {
                width: parent.width
                viewModel: root.viewModel
                panelShown: root.shown
            }
            MenuDivider {
                width: parent.width
            }
            Text {
                x: Theme.panelInset
                bottomPadding: 4
                text: "PROFILES"
                color: Theme.tertiaryText
                font.pixelSize: Theme.smallSize
                font.weight: Font.DemiBold
                font.letterSpacing: 0.5
                Accessible.role: Accessible.Heading
                Accessible.name: "Profiles"
            }
        }

        Flickable {
            id: profileScroller
            objectName: "profileScroller"
            width: parent.width
            height: Math.min(profileList.implicitHeight, root.profileRoom)
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

            Column {
                id: profileList
                width: parent.width

                Repeater {
                    model: root.viewModel.profileRows.builtIn
                    delegate: profileRow
                }
                MenuDivider {
                    width: parent.width
                    spacing: 0
                    visible: root.viewModel.profileRows.hasCustom
                }
                Repeater {
                    model: root.viewModel.profileRows.custom
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
                    visible: profileScroller.interactive
                }
            }
        }

        Column {
            id: footer
            width: parent.width

            MenuDivider {
                width: parent.width
            }
            MenuActionRow {
                objectName: "manageProfiles"
                width: parent.width
                symbol: "slider.horizontal.3"
                label: "Manage Profiles…"
                onClicked: root.viewModel.openProfileList()
            }
            MenuActionRow {
                objectName: "settings"
                width: parent.width
                symbol: "gearshape"
                label: "Settings"
                onClicked: root.viewModel.openSettings()
            }
            MenuDivider {
                width: parent.width
                spacing: 4
            }
            MenuActionRow {
                objectName: "quit"
                width: parent.width
                symbol: "power"
                label: "Quit"
                isDestructive: true
                onClicked: root.viewModel.quitApp()
            }
        }
    }

    // Up and Down walk the rows of both lists as one.
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

    Component {
        id: profileRow

        ProfileRow {
            id: row
            required property string profileId
            width: profileList.width
            animate: root.shown
            onClicked: root.viewModel.selectProfile(profileId)
            onEditRequested: root.viewModel.editProfile(profileId)
            onActiveFocusChanged: {
                if (activeFocus)
                    profileScroller.reveal(row)
            }
            Keys.onUpPressed: root.focusNextRow(row, -1)
            Keys.onDownPressed: root.focusNextRow(row, 1)
        }
    }

    LoadingOverlay {
        objectName: "loadingOverlay"
        anchors.fill: parent
        visible: root.viewModel.isLoading
        running: root.shown
    }

    AlertOverlay {
        objectName: "lossConfirmation"
        anchors.fill: parent
        visible: root.viewModel.showingDestructiveProfileConfirmation
        title: "Enable 100% Packet Loss?"
        message: "This will block ALL network traffic. Your internet connection will be completely unavailable until you disable throttling.\n\nAre you sure you want to continue?"
        cancelText: "Cancel"
        actionText: "Enable"
        destructive: true
        onCancelled: root.viewModel.cancelDestructiveProfile()
        onAccepted: root.viewModel.confirmDestructiveProfile()
    }

    AlertOverlay {
        objectName: "errorAlert"
        anchors.fill: parent
        visible: root.viewModel.showingError
        title: "Error"
        message: root.viewModel.errorMessage
        onAccepted: root.viewModel.dismissError()
    }
}
