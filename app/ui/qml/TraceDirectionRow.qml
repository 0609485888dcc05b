// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Dialogs
import Veltrane.Ui

// One direction of a recorded link: what was imported (length, mean,
// lowest and highest rate), "Import Trace…" and "Remove".
Column {
    id: row

    required property ScheduleEditorModel schedule
    required property bool editable
    required property string title
    required property string summary
    required property bool hasTrace

    signal fileChosen(url file)
    signal removeClicked()

    width: parent ? parent.width : 0
    spacing: 4

    Item {
        width: parent.width
        height: Math.max(label.implicitHeight, buttons.implicitHeight)

        Text {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            text: row.title
            color: Theme.inkAt(0.85)
            font.pixelSize: Theme.bodySize
        }
        Row {
            id: buttons
            anchors.right: parent.right
            spacing: 4

            PlainButton {
                objectName: "import" + row.title + "Trace"
                text: "Import Trace…"
                enabled: row.editable && row.schedule.canImportTrace
                Accessible.name: "Import " + row.title.toLowerCase() + " trace"
                onClicked: traceDialog.open()
            }
            PlainButton {
                objectName: "remove" + row.title + "Trace"
                text: "Remove"
                visible: row.hasTrace
                enabled: row.editable
                Accessible.name: "Remove " + row.title.toLowerCase() + " trace"
                onClicked: row.removeClicked()
            }
        }
    }
    Text {
        objectName: row.title.toLowerCase() + "TraceSummary"
        width: parent.width
        text: row.summary
        wrapMode: Text.WordWrap
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        font.family: Theme.figuresFamily
    }

    FileDialog {
        id: traceDialog
        // Found when the dialog is made, before the view has a window.
        parentWindow: row.Window.window
        title: "Import " + row.title + " Trace"
        fileMode: FileDialog.OpenFile
        nameFilters: ["Packet-delivery traces (*.trace *.txt)", "All files (*)"]
        onAccepted: row.fileChosen(selectedFile)
    }
}
