// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The conditions most profiles leave out, folded under a disclosure row
// until asked for. They have no switches: an empty field is no condition.
Column {
    id: section

    required property ProfileEditorViewModel viewModel
    property bool editable: true

    spacing: 6

    T.AbstractButton {
        id: disclosure
        objectName: "advancedDisclosure"
        implicitWidth: implicitContentWidth
        implicitHeight: implicitContentHeight
        Accessible.name: "Advanced"
        Accessible.description: section.viewModel.showsAdvanced ? "Expanded" : "Collapsed"
        onClicked: section.viewModel.toggleAdvanced()

        FocusRing {
            radius: 4
            shown: disclosure.visualFocus
        }
        contentItem: Row {
            spacing: 2
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                width: 9
                height: 9
                name: "chevron.right"
                color: Theme.tertiaryText
                rotation: section.viewModel.showsAdvanced ? 90 : 0
                Behavior on rotation {
                    NumberAnimation { duration: Theme.switchDuration; easing.type: Easing.InOutQuad }
                }
            }
            SectionLabel {
                text: "Advanced"
            }
        }
    }

    Card {
        objectName: "advancedCard"
        width: parent.width
        visible: section.viewModel.showsAdvanced
        padding: 12
        spacing: 12

        ValueConditionRow {
            objectName: "jitter"
            title: "Jitter"
            caption: "The delay varies this much either way"
            suffix: "ms"
            editable: section.editable
            value: section.viewModel.jitter
            message: section.viewModel.jitterMessage
            onValueEdited: value => section.viewModel.jitter = value
        }
        SeparatorLine {
            indent: 0
        }
        ValueConditionRow {
            objectName: "lossCorrelation"
            title: "Loss Correlation"
            caption: "Losses come in runs"
            suffix: "%"
            editable: section.editable
            value: section.viewModel.packetLossCorrelation
            message: section.viewModel.packetLossCorrelationMessage
            onValueEdited: value => section.viewModel.packetLossCorrelation = value
        }
        SeparatorLine {
            indent: 0
        }
        ValueConditionRow {
            objectName: "reorder"
            title: "Reordering"
            caption: "Packets sent ahead of the others"
            suffix: "%"
            editable: section.editable
            value: section.viewModel.reorder
            message: section.viewModel.reorderMessage
            onValueEdited: value => section.viewModel.reorder = value
        }
        SeparatorLine {
            indent: 0
        }
        ValueConditionRow {
            objectName: "duplicate"
            title: "Duplication"
            caption: "Packets delivered twice"
            suffix: "%"
            editable: section.editable
            value: section.viewModel.duplicate
            message: section.viewModel.duplicateMessage
            onValueEdited: value => section.viewModel.duplicate = value
        }
    }
}
