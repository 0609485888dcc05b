// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
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
        : profiles.implicitHeight

    implicitWidth: Theme.panelWidth
    // The list of applications needs room for a few rows however few
    // profiles there are.
    implicitHeight: Math.max(column.implicitHeight + 16, picker.visible || launcher.visible ? 420 : 0)
    width: Theme.panelWidth
    color: Theme.windowBackground

    onShownChanged: {
        if (shown)
            viewModel.appear()
        else
            viewModel.applications.closeAll()
    }
    Component.onCompleted: {
        if (shown)
            viewModel.appear()
    }

    focus: true
    Keys.onDownPressed: profiles.focusNextRow(null, 1)
    Shortcut {
        sequence: "Escape"
        enabled: !root.viewModel.showingDestructiveProfileConfirmation && !root.viewModel.showingError
                 && !picker.visible && !launcher.visible
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

        MenuBarProfileList {
            id: profiles
            objectName: "profileScroller"
            width: parent.width
            height: Math.min(implicitHeight, root.profileRoom)
            viewModel: root.viewModel
            panelShown: root.shown
        }

        MenuBarFooter {
            id: footer
            width: parent.width
            viewModel: root.viewModel
            onApplicationsRequested: root.viewModel.applications.openPicker()
            onLaunchRequested: root.viewModel.applications.openLauncher()
        }
    }

    ApplicationPickerOverlay {
        id: picker
        objectName: "applicationPicker"
        anchors.fill: parent
        applications: root.viewModel.applications
        visible: root.viewModel.applications.showingPicker
        onLaunchRequested: root.viewModel.applications.openLauncher()
    }

    LaunchThrottledOverlay {
        id: launcher
        objectName: "launchThrottled"
        anchors.fill: parent
        viewModel: root.viewModel.applications.launcher
        visible: root.viewModel.applications.launcher.isOpen
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
