// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// A plain text field of the profile editor, with its placeholder.
T.TextField {
    id: field

    implicitWidth: 200
    implicitHeight: Math.max(contentHeight, placeholder.implicitHeight) + topPadding + bottomPadding
    leftPadding: 8
    rightPadding: 8
    topPadding: 5
    bottomPadding: 5
    color: Theme.inkAt(0.85)
    selectionColor: Theme.accentTop
    selectedTextColor: "white"
    font.pixelSize: Theme.bodySize
    verticalAlignment: TextInput.AlignVCenter
    selectByMouse: true
    opacity: enabled ? 1 : 0.6

    Text {
        id: placeholder
        x: field.leftPadding
        width: field.width - field.leftPadding - field.rightPadding
        height: field.height
        verticalAlignment: Text.AlignVCenter
        visible: field.text === "" && !field.preeditText
        text: field.placeholderText
        elide: Text.ElideRight
        color: Theme.tertiaryText
        font: field.font
    }

    background: Rectangle {
        radius: 6
        color: Theme.fieldBackground
        border.width: 1
        border.color: Theme.inkAt(0.12)
    }
    FocusRing {
        shown: field.activeFocus
    }
}
