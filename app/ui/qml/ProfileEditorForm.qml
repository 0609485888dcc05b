// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The editor's body: the read-only banner, the error box, the name, the
// five conditions and the advanced ones. Every input writes straight into
// the view model's form.
Column {
    id: form

    required property ProfileEditorViewModel viewModel
    readonly property bool editable: !viewModel.isReadOnly

    spacing: 14

    Rectangle {
        objectName: "readOnlyBanner"
        width: parent.width
        height: bannerText.implicitHeight + 16
        visible: form.viewModel.isReadOnly
        radius: 8
        color: Theme.withAlpha(Theme.warningOrange, 0.1)

        SymbolIcon {
            x: 10
            y: 9
            width: 11
            height: 11
            name: "lock.fill"
            color: Theme.warningOrange
        }
        Text {
            id: bannerText
            x: 27
            y: 8
            width: parent.width - 37
            text: "Built-in profile — cannot be edited. Use 'Duplicate' to create an editable copy."
            wrapMode: Text.WordWrap
            color: Theme.warningOrange
            font.pixelSize: Theme.smallSize
        }
    }

    Rectangle {
        objectName: "errorBox"
        width: parent.width
        height: errors.implicitHeight + 20
        visible: form.viewModel.messages.showsErrorBox
        // Announced when it appears; its lines follow as its text.
        Accessible.role: Accessible.AlertMessage
        Accessible.name: "Please fix the following errors:"
        radius: 8
        color: Theme.withAlpha(Theme.errorRed, 0.08)
        border.color: Theme.withAlpha(Theme.errorRed, 0.2)

        Column {
            id: errors
            x: 10
            y: 10
            width: parent.width - 20
            spacing: 4

            Row {
                spacing: 6
                SymbolIcon {
                    y: 1
                    width: 11
                    height: 11
                    name: "exclamationmark.triangle.fill"
                    color: Theme.errorRed
                }
                Text {
                    text: "Please fix the following errors:"
                    color: Theme.errorRed
                    font.pixelSize: Theme.smallSize
                    font.weight: Font.DemiBold
                }
            }
            Repeater {
                model: form.viewModel.messages.errorLines
                Text {
                    required property string modelData
                    objectName: "errorLine"
                    width: errors.width
                    text: modelData
                    wrapMode: Text.WordWrap
                    color: Theme.errorRed
                    font.pixelSize: Theme.smallSize
                }
            }
        }
    }

    Column {
        width: parent.width
        spacing: 6

        SectionLabel {
            text: "Profile Name"
        }
        EditorTextField {
            objectName: "nameField"
            width: parent.width
            placeholderText: "Enter profile name"
            Accessible.name: "Profile Name"
            enabled: form.editable
            text: form.viewModel.fields.name
            onTextEdited: form.viewModel.fields.name = text
        }
        Text {
            objectName: "nameMessage"
            width: parent.width
            visible: text !== ""
            text: form.viewModel.messages.nameMessage
            wrapMode: Text.WordWrap
            color: Theme.errorRed
            font.pixelSize: Theme.smallSize
        }
    }

    EditorCard {
        width: parent.width
        title: "Bandwidth Limits"

        ConditionRow {
            objectName: "download"
            title: "Download Limit"
            isOn: form.viewModel.fields.hasDownloadLimit
            editable: form.editable
            message: form.viewModel.messages.downloadMessage
            onToggled: form.viewModel.fields.hasDownloadLimit = !form.viewModel.fields.hasDownloadLimit
            BandwidthInput {
                enabled: form.editable
                label: "Download limit"
                speed: form.viewModel.fields.downloadSpeed
                unit: form.viewModel.fields.downloadUnit
                units: form.viewModel.fields.unitNames
                onSpeedEdited: value => form.viewModel.fields.downloadSpeed = value
                onUnitChosen: index => form.viewModel.fields.downloadUnit = index
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
            isOn: form.viewModel.fields.hasUploadLimit
            editable: form.editable
            message: form.viewModel.messages.uploadMessage
            onToggled: form.viewModel.fields.hasUploadLimit = !form.viewModel.fields.hasUploadLimit
            BandwidthInput {
                enabled: form.editable
                label: "Upload limit"
                speed: form.viewModel.fields.uploadSpeed
                unit: form.viewModel.fields.uploadUnit
                units: form.viewModel.fields.unitNames
                onSpeedEdited: value => form.viewModel.fields.uploadSpeed = value
                onUnitChosen: index => form.viewModel.fields.uploadUnit = index
            }
        }
    }

    EditorCard {
        width: parent.width
        title: "Network Conditions"

        ConditionRow {
            objectName: "latency"
            title: "Added Latency"
            isOn: form.viewModel.fields.hasLatency
            editable: form.editable
            message: form.viewModel.messages.latencyMessage
            onToggled: form.viewModel.fields.hasLatency = !form.viewModel.fields.hasLatency
            SuffixInput {
                enabled: form.editable
                label: "Added latency"
                value: form.viewModel.fields.latency
                suffix: "ms"
                onValueEdited: value => form.viewModel.fields.latency = value
            }
        }
        Rectangle {
            width: parent.width
            height: 1
            color: Theme.inkAt(0.06)
        }
        ConditionRow {
            objectName: "packetLoss"
            title: "Packet Loss"
            isOn: form.viewModel.fields.hasPacketLoss
            editable: form.editable
            message: form.viewModel.messages.packetLossMessage
            onToggled: form.viewModel.fields.hasPacketLoss = !form.viewModel.fields.hasPacketLoss
            Column {
                spacing: 8
                SuffixInput {
                    enabled: form.editable
                    label: "Packet loss"
                    value: form.viewModel.fields.packetLoss
                    suffix: "%"
                    onValueEdited: value => form.viewModel.fields.packetLoss = value
                }
                LossSlider {
                    objectName: "lossSlider"
                    visible: form.viewModel.lossSlider.showsPacketLossSlider
                    Accessible.name: "Packet loss"
                    value: form.viewModel.lossSlider.packetLossSliderValue
                    onMoved: form.viewModel.lossSlider.setPacketLossFromSlider(value)
                }
            }
        }
        Rectangle {
            width: parent.width
            height: 1
            color: Theme.inkAt(0.06)
        }
        ConditionRow {
            objectName: "dnsDelay"
            title: "DNS Delay"
            isOn: form.viewModel.fields.hasDnsDelay
            editable: form.editable
            message: form.viewModel.messages.dnsDelayMessage
            onToggled: form.viewModel.fields.hasDnsDelay = !form.viewModel.fields.hasDnsDelay
            SuffixInput {
                enabled: form.editable
                label: "DNS delay"
                value: form.viewModel.fields.dnsDelay
                suffix: "ms"
                onValueEdited: value => form.viewModel.fields.dnsDelay = value
            }
        }
    }

    AdvancedConditions {
        width: parent.width
        fields: form.viewModel.fields
        editable: form.editable
    }
}
