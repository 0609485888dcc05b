// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The added latency, the packet loss with its slider, and the DNS delay.
EditorCard {
    id: card

    required property ProfileEditorFields fields
    required property ProfileEditorMessages messages
    required property PacketLossSliderModel lossSlider
    required property bool editable

    title: "Network Conditions"

    ConditionRow {
        objectName: "latency"
        title: "Added Latency"
        isOn: card.fields.hasLatency
        editable: card.editable
        message: card.messages.latencyMessage
        onToggled: card.fields.hasLatency = !card.fields.hasLatency
        SuffixInput {
            enabled: card.editable
            label: "Added latency"
            value: card.fields.latency
            suffix: "ms"
            onValueEdited: value => card.fields.latency = value
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
        isOn: card.fields.hasPacketLoss
        editable: card.editable
        message: card.messages.packetLossMessage
        onToggled: card.fields.hasPacketLoss = !card.fields.hasPacketLoss
        Column {
            spacing: 8
            SuffixInput {
                enabled: card.editable
                label: "Packet loss"
                value: card.fields.packetLoss
                suffix: "%"
                onValueEdited: value => card.fields.packetLoss = value
            }
            LossSlider {
                objectName: "lossSlider"
                visible: card.lossSlider.showsPacketLossSlider
                Accessible.name: "Packet loss"
                value: card.lossSlider.packetLossSliderValue
                onMoved: card.lossSlider.setPacketLossFromSlider(value)
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
        isOn: card.fields.hasDnsDelay
        editable: card.editable
        message: card.messages.dnsDelayMessage
        onToggled: card.fields.hasDnsDelay = !card.fields.hasDnsDelay
        SuffixInput {
            enabled: card.editable
            label: "DNS delay"
            value: card.fields.dnsDelay
            suffix: "ms"
            onValueEdited: value => card.fields.dnsDelay = value
        }
    }
}
