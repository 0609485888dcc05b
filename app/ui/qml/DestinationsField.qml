// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The destinations of "Only traffic to…", one a line, with the editor's
// field look. Tab leaves the field rather than typing a tab into it.
T.TextArea {
    id: field

    implicitWidth: 200
    implicitHeight: Math.max(contentHeight, placeholder.implicitHeight) + topPadding + bottomPadding
    leftPadding: 8
    rightPadding: 8
    topPadding: 6
    bottomPadding: 6
    color: Theme.inkAt(0.85)
    selectionColor: Theme.accentTop
    selectedTextColor: "white"
    font.pixelSize: Theme.bodySize
    wrapMode: TextEdit.WrapAnywhere
    selectByMouse: true
    opacity: enabled ? 1 : 0.6

    Keys.onTabPressed: field.nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
    Keys.onBacktabPressed: field.nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)

    Text {
        id: placeholder
        x: field.leftPadding
        y: field.topPadding
        width: field.width - field.leftPadding - field.rightPadding
        visible: field.text === "" && !field.preeditText
        text: field.placeholderText
        wrapMode: Text.WordWrap
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
