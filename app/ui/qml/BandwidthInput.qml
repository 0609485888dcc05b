// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// A bandwidth as typed: the value and its unit.
Row {
    id: input

    // What a screen reader calls the value field.
    property string label
    property string speed
    property int unit
    property list<string> units

    signal speedEdited(string value)
    signal unitChosen(int index)

    spacing: 8

    EditorTextField {
        objectName: "speedField"
        width: 64
        placeholderText: "Value"
        Accessible.name: input.label
        enabled: input.enabled
        text: input.speed
        onTextEdited: input.speedEdited(text)
    }
    UnitPicker {
        anchors.verticalCenter: parent.verticalCenter
        enabled: input.enabled
        units: input.units
        currentIndex: input.unit
        onActivated: index => input.unitChosen(index)
    }
}
