// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The download and upload limits, each with its switch, speed and unit.
EditorCard {
    id: card

    required property ProfileEditorFields fields
    required property ProfileEditorMessages messages
    required property bool editable

    title: "Bandwidth Limits"

    ConditionRow {
        objectName: "download"
        title: "Download Limit"
        isOn: card.fields.hasDownloadLimit
        editable: card.editable
        message: card.messages.downloadMessage
        onToggled: card.fields.hasDownloadLimit = !card.fields.hasDownloadLimit
        BandwidthInput {
            enabled: card.editable
            label: "Download limit"
            speed: card.fields.downloadSpeed
            unit: card.fields.downloadUnit
            units: card.fields.unitNames
            onSpeedEdited: value => card.fields.downloadSpeed = value
            onUnitChosen: index => card.fields.downloadUnit = index
        }
    }
    Rectangle {
        width: parent.width
        height: 1
        color: Theme.inkAt(0.06)
    }
    ConditionRow {
        objectName: "upload"
        title: "Upload Limit"
        isOn: card.fields.hasUploadLimit
        editable: card.editable
        message: card.messages.uploadMessage
        onToggled: card.fields.hasUploadLimit = !card.fields.hasUploadLimit
        BandwidthInput {
            enabled: card.editable
            label: "Upload limit"
            speed: card.fields.uploadSpeed
            unit: card.fields.uploadUnit
            units: card.fields.unitNames
            onSpeedEdited: value => card.fields.uploadSpeed = value
            onUnitChosen: index => card.fields.uploadUnit = index
        }
    }
}
