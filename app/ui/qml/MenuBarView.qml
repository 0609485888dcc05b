// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The panel under the tray icon: exactly as wide as the design, as tall as
// its content. Its clocks and animations run only while it is on screen.
Rectangle {
    id: root

    required property MenuBarViewModel viewModel
    readonly property bool shown: visible && Window.visibility !== Window.Hidden

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

    Column {
        id: column
        y: 8
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
        }
        Repeater {
            model: root.viewModel.builtInProfiles
            delegate: profileRow
        }
        MenuDivider {
            width: parent.width
            spacing: 0
            visible: root.viewModel.hasCustomProfiles
        }
        Repeater {
            model: root.viewModel.customProfiles
            delegate: profileRow
        }

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

    Component {
        id: profileRow

        ProfileRow {
            required property string profileId
            width: column.width
            animate: root.shown
            onClicked: root.viewModel.selectProfile(profileId)
            onEditRequested: root.viewModel.editProfile(profileId)
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
