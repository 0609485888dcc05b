// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The profile editor: the title with a close button, the form, and the
// buttons that delete, duplicate, cancel or save.
Column {
    id: editor

    required property ProfileEditorViewModel viewModel

    width: Theme.editorWidth

    Item {
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
            onClicked: editor.viewModel.close()

            FocusRing {
                radius: width / 2
                shown: closeButton.visualFocus
            }
        }
    }

    Flickable {
        width: parent.width
        height: contentHeight
        contentHeight: form.implicitHeight + 20
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        ProfileEditorForm {
            id: form
            x: 20
            width: parent.width - 40
            viewModel: editor.viewModel
        }
    }

    Rectangle {
        width: parent.width
        height: 1
        color: Theme.inkAt(0.06)
    }

    Item {
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
                onClicked: editor.viewModel.requestDelete()
            }
            PlainButton {
                objectName: "duplicateButton"
                visible: editor.viewModel.showsDuplicate
                text: "Duplicate"
                onClicked: editor.viewModel.duplicateProfile()
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
                onClicked: editor.viewModel.close()
            }
            AccentButton {
                objectName: "saveButton"
                visible: editor.viewModel.showsSave
                enabled: !editor.viewModel.isSaving
                text: "Save"
                onClicked: editor.viewModel.saveProfile()
            }
        }
    }
}
