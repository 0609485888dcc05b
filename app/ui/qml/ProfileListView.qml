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

    ProfileListHeader {
        id: header
        width: parent.width
        viewModel: root.viewModel
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
            ProfileListCard {
                objectName: "builtInCard"
                viewModel: root.viewModel
                rows: root.viewModel.builtInRows
            }
            Item { width: 1; height: 12 }
            SectionLabel { text: "Custom Profiles" }
            ProfileListCard {
                objectName: "customCard"
                viewModel: root.viewModel
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

    ProfileListFooter {
        id: footer
        anchors.bottom: parent.bottom
        width: parent.width
        viewModel: root.viewModel
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
}
