// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// Privileged Helper: its registration state, the one action that state
// calls for, and the advanced reinstall and status check.
Column {
    id: section

    required property HelperSettingsModel helper

    spacing: 4

    SectionLabel {
        text: "Privileged Helper"
    }
    Card {
        width: parent.width

        Column {
            width: parent.width
            padding: 14
            spacing: 10

            Item {
                width: parent.width - 28
                height: Math.max(description.implicitHeight, badge.height)

                Text {
                    id: description
                    width: parent.width - badge.width - 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Required for modifying network settings. Managed by the system."
                    wrapMode: Text.WordWrap
                    color: Theme.secondaryText
                    font.pixelSize: Theme.labelSize
                }
                HelperStatusBadge {
                    id: badge
                    objectName: "helperBadge"
                    x: parent.width - width
                    anchors.verticalCenter: parent.verticalCenter
                    status: section.helper.status
                    text: section.helper.statusText
                }
            }

            Text {
                objectName: "helperMessage"
                visible: text !== ""
                width: parent.width - 28
                text: section.helper.message
                wrapMode: Text.WordWrap
                color: Theme.warningOrange
                font.pixelSize: Theme.labelSize
            }

            AccentButton {
                objectName: "installHelperButton"
                visible: section.helper.offersInstall
                enabled: !section.helper.isInstalling
                implicitHeight: implicitContentHeight + 10
                text: "Install Helper"
                onClicked: section.helper.install()
            }
            AccentButton {
                objectName: "tryAgainButton"
                visible: section.helper.offersRetry
                enabled: !section.helper.isInstalling
                implicitHeight: implicitContentHeight + 10
                text: "Try Again"
                onClicked: section.helper.tryAgain()
            }

            T.AbstractButton {
                id: disclosure
                objectName: "advancedButton"
                implicitWidth: implicitContentWidth
                implicitHeight: implicitContentHeight
                Accessible.name: "Advanced"
                onClicked: section.helper.toggleAdvanced()

                FocusRing {
                    radius: 4
                    shown: disclosure.visualFocus
                }
                contentItem: Row {
                    spacing: 5
                    Image {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 9
                        height: 9
                        sourceSize.width: 18
                        sourceSize.height: 18
                        source: "icons/chevron.right.svg"
                        rotation: section.helper.showsAdvanced ? 90 : 0
                        Behavior on rotation { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
                    }
                    Text {
                        text: "Advanced"
                        color: Theme.inkAt(disclosure.down ? 0.9 : 0.6)
                        font.pixelSize: Theme.labelSize
                    }
                }
            }

            Row {
                visible: section.helper.showsAdvanced
                spacing: 8
                opacity: visible ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 200 } }

                BorderedButton {
                    objectName: "reinstallHelperButton"
                    visible: section.helper.offersReinstall
                    enabled: !section.helper.isInstalling
                    fontSize: Theme.smallSize
                    text: "Reinstall Helper"
                    onClicked: section.helper.install()
                }
                BorderedButton {
                    objectName: "checkStatusButton"
                    fontSize: Theme.smallSize
                    text: "Check Status"
                    onClicked: section.helper.checkStatus()
                }
            }
        }
    }
}
