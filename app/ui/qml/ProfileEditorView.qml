// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import QtQuick.Window
import Veltrane.Ui

// The profile editor: the title with a close button, the form, and the
// buttons that delete, duplicate, cancel or save.
Column {
    id: editor

    required property ProfileEditorViewModel viewModel

    width: Theme.editorWidth

    // The room the screen offers the window, less its title bar: a taller
    // form (the Advanced section open, a large font) scrolls between the
    // title and the buttons, which stay in view.
    property real maximumHeight: Screen.desktopAvailableHeight - Theme.scaled(48)

    Item {
        id: header
        width: parent.width
        height: Theme.scaled(56)

        Text {
            objectName: "editorTitle"
            x: 20
            anchors.verticalCenter: parent.verticalCenter
            text: editor.viewModel.title
            textFormat: Text.PlainText
            color: Theme.titleText
            font.pixelSize: Theme.editorTitleSize
            font.bold: true
        }
        T.AbstractButton {
            id: closeButton
            objectName: "closeButton"
            anchors.right: parent.right
            anchors.rightMargin: 20
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: 24
            implicitHeight: 24
            Accessible.name: "Close"
            background: Rectangle {
                radius: 12
                color: Theme.inkAt(0.1)
            }
            contentItem: Item {
                SymbolIcon {
                    anchors.centerIn: parent
                    width: 11
                    height: 11
                    name: "xmark"
                    color: Theme.inkAt(0.5)
                }
            }
            onClicked: editor.viewModel.actions.close()

            FocusRing {
                radius: width / 2
                shown: closeButton.visualFocus
            }
        }
    }

    Flickable {
        id: body
        objectName: "editorBody"
        width: parent.width
        height: editor.maximumHeight > 0
            ? Math.min(contentHeight,
                       Math.max(Theme.scaled(160), editor.maximumHeight - header.height - footer.height - 1))
            : contentHeight
        contentHeight: form.implicitHeight + 20
        interactive: contentHeight > height
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        // The focused field in view, as Tab moves through the form.
        function reveal(item: Item) {
            for (let inside = item; inside; inside = inside.parent) {
                if (inside === form) {
                    const top = item.mapToItem(form, 0, 0).y
                    if (top < contentY)
                        contentY = Math.max(0, top - 10)
                    else if (top + item.height > contentY + height)
                        contentY = Math.min(contentHeight - height, top + item.height + 10 - height)
                    return
                }
            }
        }

        // A section still opening moves what follows it: the focused field
        // stays in view.
        onContentHeightChanged: body.reveal(editor.Window.activeFocusItem)

        Connections {
            target: editor.Window.window
            function onActiveFocusItemChanged() {
                body.reveal(editor.Window.activeFocusItem)
            }
        }

        ProfileEditorForm {
            id: form
            x: 20
            width: parent.width - 40
            viewModel: editor.viewModel
        }

        T.ScrollIndicator.vertical: T.ScrollIndicator {
            implicitWidth: 8
            padding: 2
            contentItem: Rectangle {
                implicitWidth: 4
                radius: 2
                color: Theme.inkAt(0.25)
                visible: body.interactive
            }
        }
    }

    Rectangle {
        width: parent.width
        height: 1
        color: Theme.inkAt(0.06)
    }

    Item {
        id: footer
        width: parent.width
        height: Theme.scaled(60)

        Row {
            x: 20
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8

            PlainButton {
                objectName: "deleteButton"
                visible: editor.viewModel.showsDelete
                text: "Delete"
                textColor: Theme.systemRed
                onClicked: editor.viewModel.actions.requestDelete()
            }
            PlainButton {
                objectName: "duplicateButton"
                visible: editor.viewModel.showsDuplicate
                text: "Duplicate"
                onClicked: editor.viewModel.actions.duplicateProfile()
            }
        }
        Row {
            anchors.right: parent.right
            anchors.rightMargin: 20
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8

            PlainButton {
                objectName: "cancelButton"
                anchors.verticalCenter: parent.verticalCenter
                text: "Cancel"
                onClicked: editor.viewModel.actions.close()
            }
            AccentButton {
                objectName: "saveButton"
                visible: editor.viewModel.showsSave
                enabled: !editor.viewModel.actions.isSaving
                text: "Save"
                onClicked: editor.viewModel.actions.saveProfile()
            }
        }
    }
}
