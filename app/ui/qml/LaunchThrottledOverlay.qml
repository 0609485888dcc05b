// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// "Launch Throttled" over the whole panel: an installed application picked
// from a searchable list, or a typed command, started with the selected
// profile on. The keyboard stays in the search field while Up and Down
// move through the list and Return launches the current row; Escape
// cancels.
Rectangle {
    id: root

    required property LaunchThrottledModel viewModel

    color: Theme.windowBackground
    Accessible.role: Accessible.Dialog
    Accessible.name: "Launch Throttled"

    onVisibleChanged: {
        if (visible)
            takeFocus()
    }
    Component.onCompleted: {
        if (visible)
            takeFocus()
    }
    function takeFocus() {
        showFirstRow()
        search.forceActiveFocus(Qt.TabFocusReason)
    }
    // A list read afresh keeps its index, which may now be past its end:
    // the best match of a new search is the first.
    function showFirstRow() {
        applications.currentIndex = applications.count > 0 ? 0 : -1
    }

    // Modal: nothing of the panel under it takes a click or a hover.
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
    }

    Shortcut {
        sequence: "Escape"
        enabled: root.visible
        onActivated: root.viewModel.close()
    }

    Column {
        id: top
        x: Theme.panelInset
        y: 12
        width: root.width - 2 * Theme.panelInset
        spacing: 8

        Column {
            width: parent.width
            spacing: 2

            Text {
                width: parent.width
                text: "Launch Throttled"
                color: Theme.titleText
                font.pixelSize: Theme.bodySize
                font.bold: true
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Text {
                objectName: "launchProfile"
                width: parent.width
                text: root.viewModel.profileText
                // A profile's name may come from someone else's file.
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                color: Theme.secondaryText
                font.pixelSize: Theme.smallSize
            }
        }
        EditorTextField {
            id: search
            objectName: "launchSearch"
            width: parent.width
            placeholderText: "Search applications"
            text: root.viewModel.searchText
            Accessible.name: "Search applications"
            onTextEdited: {
                root.viewModel.searchText = text
                root.showFirstRow()
            }
            Keys.onDownPressed: applications.incrementCurrentIndex()
            Keys.onUpPressed: applications.decrementCurrentIndex()
            Keys.onReturnPressed: root.viewModel.launchApplication(applications.currentIndex)
            Keys.onEnterPressed: root.viewModel.launchApplication(applications.currentIndex)
        }
    }

    ListView {
        id: applications
        objectName: "launchApplications"
        anchors.top: top.bottom
        anchors.topMargin: 6
        anchors.bottom: bottom.top
        anchors.bottomMargin: 2
        width: root.width
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        activeFocusOnTab: true
        highlightMoveDuration: 0
        model: root.viewModel
        Accessible.role: Accessible.List
        Accessible.name: "Installed applications"
        Keys.onReturnPressed: root.viewModel.launchApplication(currentIndex)
        Keys.onEnterPressed: root.viewModel.launchApplication(currentIndex)

        delegate: ApplicationRow {
            required property int index
            width: applications.width
            isCurrent: ListView.isCurrentItem
            showsFocus: applications.activeFocus
            onActivated: root.viewModel.launchApplication(index)
        }

        Text {
            objectName: "launchNotice"
            x: Theme.panelInset
            y: 8
            width: parent.width - 2 * Theme.panelInset
            visible: text !== ""
            text: root.viewModel.notice
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: Theme.tertiaryText
            font.pixelSize: Theme.smallSize
        }
    }

    Column {
        id: bottom
        x: Theme.panelInset
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 12
        width: root.width - 2 * Theme.panelInset
        spacing: 8

        Rectangle {
            width: parent.width
            height: 1
            color: Theme.inkAt(0.06)
        }
        SectionLabel {
            leftPadding: 0
            text: "Or run a command"
        }
        Row {
            width: parent.width
            spacing: 8

            EditorTextField {
                id: command
                objectName: "launchCommandField"
                width: parent.width - launchButton.width - parent.spacing
                anchors.verticalCenter: parent.verticalCenter
                placeholderText: "git fetch"
                text: root.viewModel.commandText
                Accessible.name: "Command"
                onTextEdited: root.viewModel.commandText = text
                Keys.onReturnPressed: root.viewModel.launchCommand()
                Keys.onEnterPressed: root.viewModel.launchCommand()
            }
            AccentButton {
                id: launchButton
                objectName: "launchCommand"
                text: "Launch"
                onClicked: root.viewModel.launchCommand()
            }
        }
        LaunchProgress {
            width: parent.width
            viewModel: root.viewModel
        }
        PlainButton {
            objectName: "launchCancel"
            width: parent.width
            text: "Cancel"
            onClicked: root.viewModel.close()
        }
    }
}
