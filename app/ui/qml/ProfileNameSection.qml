// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The profile's name, with its message under it.
Column {
    id: section

    required property ProfileEditorFields fields
    required property ProfileEditorMessages messages
    required property bool editable

    spacing: 6

    SectionLabel {
        text: "Profile Name"
    }
    EditorTextField {
        objectName: "nameField"
        width: section.width
        placeholderText: "Enter profile name"
        Accessible.name: "Profile Name"
        enabled: section.editable
        text: section.fields.name
        onTextEdited: section.fields.name = text
    }
    Text {
        objectName: "nameMessage"
        width: section.width
        visible: text !== ""
        text: section.messages.nameMessage
        wrapMode: Text.WordWrap
        color: Theme.errorRed
        font.pixelSize: Theme.smallSize
    }
}
