// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The settings window: General, Updates and Privileged Helper, the two
// alerts, and the about sheet.
Rectangle {
    id: root

    required property SettingsViewModel viewModel

    readonly property bool shown: Window.visibility !== Window.Hidden
    onShownChanged: if (shown) root.viewModel.appear()

    implicitWidth: 450
    implicitHeight: 520
    color: Theme.windowBackground

    Shortcut {
        sequences: ["Ctrl+Return", "Ctrl+Enter"]
        enabled: !root.viewModel.isCovered
        onActivated: root.viewModel.done()
    }

    Item {
        id: header
        width: parent.width
        height: Theme.scaled(54)

        Text {
            x: 20
            anchors.verticalCenter: parent.verticalCenter
            text: "Settings"
            color: Theme.titleText
            font.pixelSize: Theme.titleSize
            font.bold: true
        }
        T.AbstractButton {
            id: headerClose
            objectName: "headerCloseButton"
            x: parent.width - width - 20
            anchors.verticalCenter: parent.verticalCenter
            width: 18
            height: 18
            Accessible.name: "Close"
            onClicked: root.viewModel.done()
            contentItem: Image {
                sourceSize.width: 36
                sourceSize.height: 36
                source: "icons/xmark.circle.fill.svg"
            }

            FocusRing {
                radius: width / 2
                shown: headerClose.visualFocus
            }
        }
    }

    Flickable {
        objectName: "settingsScroller"
        anchors.top: header.bottom
        anchors.bottom: divider.top
        width: parent.width
        clip: true
        contentHeight: sections.implicitHeight + 24
        boundsBehavior: Flickable.StopAtBounds

        T.ScrollIndicator.vertical: T.ScrollIndicator {
            id: indicator
            padding: 2
            contentItem: Rectangle {
                implicitWidth: 4
                radius: 2
                color: Theme.inkAt(0.25)
                opacity: indicator.active ? 1 : 0
            }
        }

        Column {
            id: sections
            x: 20
            y: 4
            width: parent.width - 40
            spacing: 16

            SettingsGeneralSection {
                width: parent.width
                general: root.viewModel.general
                autoDisable: root.viewModel.autoDisable
            }
            SettingsUpdatesSection { width: parent.width; updates: root.viewModel.updates }
            SettingsHelperSection { width: parent.width; helper: root.viewModel.helper }
        }
    }

    Rectangle {
        id: divider
        anchors.bottom: footer.top
        width: parent.width
        height: 1
        color: Theme.inkAt(0.1)
        opacity: 0.3
    }

    Item {
        id: footer
        anchors.bottom: parent.bottom
        width: parent.width
        height: Theme.scaled(52)

        T.AbstractButton {
            id: aboutButton
            objectName: "aboutButton"
            x: 20
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: implicitContentWidth
            implicitHeight: implicitContentHeight
            Accessible.name: "About Veltrane…"
            onClicked: root.viewModel.showAbout()
            contentItem: Text {
                text: "About Veltrane…"
                color: Theme.inkAt(aboutButton.down ? 0.9 : 0.6)
                font.pixelSize: Theme.labelSize
            }

            FocusRing {
                radius: 4
                shown: aboutButton.visualFocus
            }
        }
        AccentButton {
            objectName: "doneButton"
            x: parent.width - width - 20
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: Math.max(implicitContentWidth + 40, 72)
            text: "Done"
            onClicked: root.viewModel.done()
        }
    }

    AlertOverlay {
        objectName: "helperInstallAlert"
        anchors.fill: parent
        visible: root.viewModel.helper.showingInstallAlert
        title: "Helper Installation"
        message: root.viewModel.helper.installAlertMessage
        onAccepted: root.viewModel.helper.dismissInstallAlert()
    }
    AlertOverlay {
        objectName: "launchAtLoginAlert"
        anchors.fill: parent
        visible: root.viewModel.general.showingLaunchAtLoginError
        title: "Launch at Login Error"
        message: root.viewModel.general.launchAtLoginErrorMessage
        onAccepted: root.viewModel.general.dismissLaunchAtLoginError()
    }

    // The about sheet drops from the top edge of the window.
    T.Popup {
        parent: T.Overlay.overlay
        x: (root.width - width) / 2
        y: 0
        visible: root.viewModel.showingAbout
        modal: true
        dim: true
        closePolicy: T.Popup.NoAutoClose
        padding: 0
        implicitWidth: contentWidth
        implicitHeight: contentHeight
        T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.25) }
        background: Rectangle {
            color: Theme.windowBackground
            border.color: Theme.inkAt(0.12)
            radius: 10
        }
        contentItem: AboutView {
            objectName: "aboutSheet"
            viewModel: root.viewModel.aboutViewModel
            radius: 10
            border.color: Theme.inkAt(0.12)
        }
    }
}
