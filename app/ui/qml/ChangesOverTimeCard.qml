// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// How the profile's conditions change over time: phases that each play a
// profile's conditions or an outage, once or repeating; or a recorded
// link's rate per direction. Each is offered while the other is absent.
EditorCard {
    id: card

    required property ScheduleEditorModel schedule
    required property bool editable

    title: "Changes Over Time"

    Text {
        objectName: "scheduleSummary"
        width: parent.width
        text: card.schedule.summary
        wrapMode: Text.WordWrap
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
    }
    Repeater {
        model: card.schedule.phases

        SchedulePhaseRow {
            schedule: card.schedule
            editable: card.editable
        }
    }
    Item {
        width: parent.width
        height: Math.max(addPhase.implicitHeight, repeat.implicitHeight)

        PlainButton {
            id: addPhase
            objectName: "addPhase"
            text: "Add Phase"
            enabled: card.editable && card.schedule.canAddPhase
            onClicked: card.schedule.addPhase()
        }
        Row {
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8
            visible: card.schedule.hasPhases

            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "Repeat"
                color: Theme.inkAt(0.85)
                font.pixelSize: Theme.bodySize
            }
            ToggleSwitch {
                id: repeat
                objectName: "repeatSwitch"
                isOn: card.schedule.repeat
                enabled: card.editable
                Accessible.name: "Repeat the phases"
                onClicked: card.schedule.repeat = !card.schedule.repeat
            }
        }
    }
    Rectangle {
        width: parent.width
        height: 1
        color: Theme.inkAt(0.06)
    }
    Item {
        width: parent.width
        height: Math.max(stepLabel.implicitHeight, step.implicitHeight)

        Text {
            id: stepLabel
            anchors.verticalCenter: parent.verticalCenter
            text: "Trace step"
            color: Theme.inkAt(0.85)
            font.pixelSize: Theme.bodySize
        }
        DurationPicker {
            id: step
            objectName: "traceStep"
            opacity: enabled ? 1 : Theme.disabledOpacity
            anchors.right: parent.right
            width: 100
            enabled: card.editable && card.schedule.canChangeStep && card.schedule.canImportTrace
            choices: card.schedule.stepChoices
            currentIndex: card.schedule.stepIndex
            displayText: card.schedule.stepIndex >= 0 ? card.schedule.stepChoices[card.schedule.stepIndex] : ""
            Accessible.name: "Trace step " + displayText
            onActivated: index => card.schedule.stepIndex = index
        }
    }
    TraceDirectionRow {
        schedule: card.schedule
        editable: card.editable
        title: "Download"
        summary: card.schedule.downloadTrace
        hasTrace: card.schedule.hasDownloadTrace
        onFileChosen: file => card.schedule.importDownloadTrace(file)
        onRemoveClicked: card.schedule.removeDownloadTrace()
    }
    TraceDirectionRow {
        schedule: card.schedule
        editable: card.editable
        title: "Upload"
        summary: card.schedule.uploadTrace
        hasTrace: card.schedule.hasUploadTrace
        onFileChosen: file => card.schedule.importUploadTrace(file)
        onRemoveClicked: card.schedule.removeUploadTrace()
    }
    Text {
        objectName: "traceMessage"
        width: parent.width
        visible: text !== ""
        text: card.schedule.traceMessage
        wrapMode: Text.WordWrap
        color: Theme.errorRed
        font.pixelSize: Theme.smallSize
    }
}
