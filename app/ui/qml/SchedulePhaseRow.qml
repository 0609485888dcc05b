// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// One phase of the schedule: its name, how long it lasts, what it plays,
// and the buttons that move or remove it, with its message under them.
Column {
    id: row

    required property ScheduleEditorModel schedule
    required property bool editable
    required property int index
    required property string label
    required property string name
    required property string duration
    required property list<string> choices
    required property int choiceIndex
    required property string message
    required property bool canMoveUp
    required property bool canMoveDown

    objectName: "phase" + index
    width: parent ? parent.width : 0
    spacing: 6

    Item {
        width: parent.width
        height: Math.max(title.implicitHeight, buttons.implicitHeight)

        Text {
            id: title
            anchors.verticalCenter: parent.verticalCenter
            text: row.label
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
            font.weight: Font.Medium
        }
        Row {
            id: buttons
            anchors.right: parent.right
            spacing: 4

            PlainButton {
                objectName: "moveUp"
                text: "↑"
                enabled: row.editable && row.canMoveUp
                Accessible.name: "Move " + row.label + " up"
                onClicked: row.schedule.movePhase(row.index, -1)
            }
            PlainButton {
                objectName: "moveDown"
                text: "↓"
                enabled: row.editable && row.canMoveDown
                Accessible.name: "Move " + row.label + " down"
                onClicked: row.schedule.movePhase(row.index, 1)
            }
            PlainButton {
                objectName: "removePhase"
                text: "Remove"
                enabled: row.editable
                Accessible.name: "Remove " + row.label
                onClicked: row.schedule.removePhase(row.index)
            }
        }
    }
    Row {
        width: parent.width
        spacing: 8

        EditorTextField {
            objectName: "phaseName"
            width: parent.width - lasts.width - 8
            enabled: row.editable
            placeholderText: "Name"
            Accessible.name: row.label + " name"
            text: row.name
            onTextEdited: row.schedule.setPhaseName(row.index, text)
        }
        SuffixInput {
            id: lasts
            objectName: "phaseDuration"
            enabled: row.editable
            label: row.label + " duration in seconds"
            value: row.duration
            suffix: "s"
            onValueEdited: value => row.schedule.setPhaseDuration(row.index, value)
        }
    }
    DurationPicker {
        objectName: "phaseConditions"
        opacity: enabled ? 1 : Theme.disabledOpacity
        width: parent.width
        enabled: row.editable
        choices: row.choices
        currentIndex: row.choiceIndex
        displayText: row.choiceIndex >= 0 ? row.choices[row.choiceIndex] : ""
        Accessible.name: row.label + " plays " + displayText
        onActivated: choice => row.schedule.choosePhaseConditions(row.index, choice)
    }
    Text {
        objectName: "phaseMessage"
        width: parent.width
        visible: row.message !== ""
        text: row.message
        wrapMode: Text.WordWrap
        color: Theme.errorRed
        font.pixelSize: Theme.smallSize
    }
}
