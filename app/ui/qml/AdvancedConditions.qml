// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The conditions most profiles leave out, folded under a disclosure row
// until asked for, one row each from the view model. They have no switches:
// an empty field is no condition.
Column {
    id: section

    required property ProfileEditorFields fields
    property bool editable: true

    spacing: 6

    T.AbstractButton {
        id: disclosure
        objectName: "advancedDisclosure"
        implicitWidth: implicitContentWidth
        implicitHeight: implicitContentHeight
        Accessible.name: "Advanced"
        Accessible.description: section.fields.showsAdvanced ? "Expanded" : "Collapsed"
        onClicked: section.fields.toggleAdvanced()

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
                rotation: section.fields.showsAdvanced ? 90 : 0
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
        visible: section.fields.showsAdvanced
        padding: 12
        spacing: 12

        Repeater {
            model: section.fields.advancedConditions

            Column {
                id: entry

                required property int index
                required property string key
                required property string title
                required property string hint
                required property string suffix
                required property string text
                required property string message

                width: parent.width
                spacing: 12

                SeparatorLine {
                    visible: entry.index > 0
                    indent: 0
                }
                ValueConditionRow {
                    objectName: entry.key
                    title: entry.title
                    caption: entry.hint
                    suffix: entry.suffix
                    editable: section.editable
                    value: entry.text
                    message: entry.message
                    onValueEdited: value => section.fields.setAdvancedRow(entry.index, value)
                }
            }
        }
    }
}
