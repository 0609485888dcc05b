// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The profile management window: every profile in two cards, the built-in
// ones and the user's own, with their menu switches and row menus.
Rectangle {
    id: root

    required property ProfileListViewModel viewModel

    // Every appearance reads the store again.
    readonly property bool shown: Window.visibility !== Window.Hidden
    onShownChanged: if (shown) root.viewModel.appear()

    implicitWidth: 500
    implicitHeight: 550
    color: Theme.windowBackground

    Shortcut {
        sequence: "Escape"
        enabled: !root.viewModel.showingDeleteConfirmation
        onActivated: root.viewModel.done()
    }

    Item {
        id: header
        width: parent.width
        height: Theme.scaled(64)

        Text {
            x: 22
            anchors.verticalCenter: parent.verticalCenter
            text: "Manage Profiles"
            color: Theme.titleText
            font.pixelSize: Theme.listTitleSize
            font.bold: true
        }
        AccentButton {
            objectName: "addProfileButton"
            x: parent.width - width - 22
            anchors.verticalCenter: parent.verticalCenter
            leftPadding: 14
            rightPadding: 14
            topPadding: 6
            bottomPadding: 6
            implicitWidth: implicitContentWidth + leftPadding + rightPadding
            implicitHeight: implicitContentHeight + topPadding + bottomPadding
            contentItem: Row {
                spacing: 4
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "+"
                    color: "white"
                    font.pixelSize: Theme.symbolTextSize
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Add Profile"
                    color: "white"
                    font.pixelSize: Theme.labelSize
                    font.weight: Font.DemiBold
                }
            }
            onClicked: root.viewModel.addNewProfile()
        }
    }

    Flickable {
        id: scroller
        objectName: "profileScroller"
        anchors.top: header.bottom
        anchors.bottom: footer.top
        width: parent.width
        clip: true
        contentHeight: sections.implicitHeight + 32
        boundsBehavior: Flickable.StopAtBounds

        T.ScrollIndicator.vertical: T.ScrollIndicator {
            id: indicator
            padding: 2
            contentItem: Rectangle {
                implicitWidth: 4
                radius: 2
                color: Theme.inkAt(0.25)
                opacity: indicator.active ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 200 } }
            }
        }

        Column {
            id: sections
            x: 22
            y: 16
            width: parent.width - 44
            spacing: 6

            SectionLabel { text: "Default Profiles" }
            ProfileCard {
                objectName: "builtInCard"
                rows: root.viewModel.builtInRows
            }
            Item { width: 1; height: 12 }
            SectionLabel { text: "Custom Profiles" }
            ProfileCard {
                objectName: "customCard"
                rows: root.viewModel.customRows

                Text {
                    objectName: "emptyCustomText"
                    visible: root.viewModel.customRows.count === 0
                    width: parent.width
                    topPadding: 16
                    bottomPadding: 16
                    leftPadding: 14
                    rightPadding: 14
                    wrapMode: Text.WordWrap
                    text: "No custom profiles yet. Click '+ Add Profile' to create one."
                    color: Theme.tertiaryText
                    font.pixelSize: Theme.labelSize
                }
            }
        }
    }

    Item {
        id: footer
        anchors.bottom: parent.bottom
        width: parent.width
        height: Theme.scaled(56)

        Rectangle {
            width: parent.width
            height: 1
            color: Theme.inkAt(0.08)
        }
        ProfileExchangeButtons {
            x: 22
            anchors.verticalCenter: parent.verticalCenter
            viewModel: root.viewModel
        }
        AccentButton {
            objectName: "doneButton"
            x: parent.width - width - 22
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: Math.max(implicitContentWidth + 40, 72)
            text: "Done"
            onClicked: root.viewModel.done()
        }
    }

    AlertOverlay {
        objectName: "deleteConfirmation"
        anchors.fill: parent
        visible: root.viewModel.showingDeleteConfirmation
        title: "Delete Profile"
        message: root.viewModel.deleteConfirmationMessage
        actionText: "Delete"
        cancelText: "Cancel"
        destructive: true
        onAccepted: root.viewModel.confirmDelete()
        onCancelled: root.viewModel.cancelDelete()
    }

    AlertOverlay {
        objectName: "exchangeAlert"
        anchors.fill: parent
        visible: root.viewModel.showingExchangeAlert
        title: root.viewModel.exchangeAlertTitle
        message: root.viewModel.exchangeAlertMessage
        onAccepted: root.viewModel.dismissExchangeAlert()
    }

    // A card of one section: a row per profile, lines between them
    // indented to the name column.
    component ProfileCard: Card {
        id: card
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
                width: card.width

                ProfileListRow {
                    viewModel: root.viewModel
                    profileId: entry.profileId
                    name: entry.name
                    showInMenu: entry.showInMenu
                    chips: entry.chips
                    toggleLabel: entry.toggleLabel
                }
                SeparatorLine {
                    visible: entry.index < card.rows.count - 1
                    indent: 58
                }
            }
        }
    }
}
