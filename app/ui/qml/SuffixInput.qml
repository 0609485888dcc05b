// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// A number as typed, followed by its unit ("ms", "%").
Row {
    id: input

    // What a screen reader calls the field.
    property string label
    property string value
    property string suffix

    signal valueEdited(string value)

    spacing: 8

    EditorTextField {
        objectName: "valueField"
        width: 64
        placeholderText: "Value"
        Accessible.name: input.label
        Accessible.description: input.suffix
        enabled: input.enabled
        text: input.value
        onTextEdited: input.valueEdited(text)
    }
    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: input.suffix
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
    }
}
