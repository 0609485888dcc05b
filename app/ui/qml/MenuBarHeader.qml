// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The top of the panel: the helper warning, the title with the master
// switch, the last error and the status line.
Column {
    id: header

    required property MenuBarViewModel viewModel
    readonly property real innerWidth: width - 2 * Theme.panelInset

    spacing: 6

    Rectangle {
        objectName: "helperWarning"
        x: Theme.panelInset
        width: header.innerWidth
        height: warningRow.implicitHeight + 16
        visible: header.viewModel.helperWarning.isShown
        Accessible.role: Accessible.AlertMessage
        Accessible.name: header.viewModel.helperWarning.text
        radius: 6
        color: Theme.withAlpha(Theme.warningOrange, 0.08)
        border.color: Theme.withAlpha(Theme.warningOrange, 0.15)

        Item {
            id: warningRow
            anchors.fill: parent
            anchors.margins: 8
            implicitHeight: Math.max(install.implicitHeight, warningText.implicitHeight)

            SymbolIcon {
                id: warningIcon
                anchors.verticalCenter: parent.verticalCenter
                width: 12
                height: 12
                name: "exclamationmark.triangle.fill"
                color: Theme.warningOrange
            }
            Text {
                id: warningText
                objectName: "helperWarningText"
                anchors.left: warningIcon.right
                anchors.leftMargin: 5
                anchors.right: install.visible ? install.left : parent.right
                anchors.rightMargin: install.visible ? 6 : 0
                anchors.verticalCenter: parent.verticalCenter
                text: header.viewModel.helperWarning.text
                textFormat: Text.PlainText
                wrapMode: Text.WordWrap
                color: Theme.warningOrange
                font.pixelSize: Theme.smallSize
            }
            PlainButton {
                id: install
                objectName: "installButton"
                visible: header.viewModel.helperWarning.offersInstall
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                leftPadding: 8
                rightPadding: 8
                topPadding: 2
                bottomPadding: 2
                fontSize: Theme.captionSize
                text: "Install"
                onClicked: header.viewModel.openSettings()
            }
        }
    }

    Item {
        x: Theme.panelInset
        width: header.innerWidth
        height: Math.max(title.implicitHeight, toggle.implicitHeight)

        Text {
            id: title
            objectName: "title"
            anchors.verticalCenter: parent.verticalCenter
            text: header.viewModel.titleText
            textFormat: Text.PlainText
            color: header.viewModel.isEnabled ? Theme.activeText : Theme.panelOffTitle
            font.pixelSize: Theme.bodySize
            font.weight: Font.DemiBold
            Behavior on color {
                ColorAnimation { duration: Theme.stateChangeDuration; easing.type: Easing.InOutQuad }
            }
        }
        ToggleSwitch {
            id: toggle
            objectName: "masterSwitch"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            isOn: header.viewModel.isEnabled
            enabled: !header.viewModel.isToggleDisabled
            Accessible.name: "Throttling"
            onClicked: header.viewModel.handleToggle(!header.viewModel.isEnabled)
        }
    }

    Row {
        x: Theme.panelInset
        width: header.innerWidth
        visible: header.viewModel.showsStateError
        Accessible.role: Accessible.AlertMessage
        Accessible.name: header.viewModel.stateErrorText
        spacing: 5

        SymbolIcon {
            y: 1
            width: 12
            height: 12
            name: "exclamationmark.circle.fill"
            color: Theme.systemRed
        }
        Text {
            objectName: "stateError"
            width: parent.width - 17
            text: header.viewModel.stateErrorText
            textFormat: Text.PlainText
            wrapMode: Text.WordWrap
            maximumLineCount: 2
            elide: Text.ElideRight
            color: Theme.systemRed
            font.pixelSize: Theme.smallSize
        }
    }

    Text {
        objectName: "statusLine"
        x: Theme.panelInset
        width: header.innerWidth
        text: header.viewModel.statusText
        textFormat: Text.PlainText
        elide: Text.ElideRight
        color: Theme.tertiaryText
        font.pixelSize: Theme.smallSize
    }
}
