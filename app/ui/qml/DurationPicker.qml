// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T

// A pop-up choice among a few labelled values. It shows `displayText` and
// reports the index the user picks; the owner decides what is current.
// Space opens the list with the current choice focused; Up and Down move,
// Space picks, Escape closes.
T.AbstractButton {
    id: control

    property alias choices: choiceRepeater.model
    property int currentIndex: -1
    property string displayText
    signal activated(int index)

    implicitWidth: 140
    implicitHeight: 24
    hoverEnabled: true
    Accessible.role: Accessible.ComboBox
    Accessible.name: displayText
    onClicked: choiceList.open()

    FocusRing {
        shown: control.visualFocus
    }

    background: Rectangle {
        radius: 6
        color: Theme.inkAt(control.hovered || choiceList.visible ? 0.1 : 0.07)
        border.color: Theme.inkAt(0.08)
    }
    contentItem: Text {
        leftPadding: 10
        rightPadding: 22
        text: control.displayText
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        color: Theme.inkAt(0.85)
        font.pixelSize: Theme.labelSize
    }
    Image {
        x: control.width - width - 8
        anchors.verticalCenter: parent.verticalCenter
        width: 8
        height: 8
        rotation: 90
        sourceSize.width: 16
        sourceSize.height: 16
        source: "icons/chevron.right.svg"
    }

    T.Popup {
        id: choiceList
        y: control.height + 2
        width: control.width
        implicitHeight: contentHeight + topPadding + bottomPadding
        padding: 4
        margins: 8
        focus: true
        onOpened: {
            const current = choiceRepeater.itemAt(Math.max(0, control.currentIndex))
            if (current)
                current.forceActiveFocus(Qt.TabFocusReason)
        }
        background: Rectangle {
            radius: 8
            color: Theme.menuBackground
            border.color: Theme.inkAt(0.12)
        }
        Column {
            width: parent.width
            Repeater {
                id: choiceRepeater
                T.AbstractButton {
                    id: choice
                    required property int index
                    required property string modelData
                    objectName: "choice-" + modelData
                    width: parent ? parent.width : 0
                    implicitHeight: 24
                    hoverEnabled: true
                    Keys.onUpPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.TabFocusReason)
                    Keys.onDownPressed: nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
                    onClicked: {
                        choiceList.close()
                        control.activated(index)
                    }
                    background: Rectangle {
                        radius: 4
                        color: choice.hovered ? Theme.highlight : "transparent"

                        FocusRing {
                            anchors.margins: 0
                            radius: 4
                            shown: choice.visualFocus
                        }
                    }
                    contentItem: Text {
                        leftPadding: 8
                        text: choice.modelData
                        verticalAlignment: Text.AlignVCenter
                        color: choice.hovered ? "white" : Theme.inkAt(0.85)
                        font.pixelSize: Theme.labelSize
                        font.bold: choice.index === control.currentIndex
                    }
                }
            }
        }
    }
}
