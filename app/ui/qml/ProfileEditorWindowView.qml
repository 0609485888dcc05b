// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The profile editor window's content: the editor as the shared editor
// state describes it, its keyboard and its delete confirmation. The window
// takes this view's size.
Rectangle {
    id: root

    required property ProfileEditorViewModel viewModel

    implicitWidth: Theme.editorWidth
    implicitHeight: editor.implicitHeight
    color: Theme.windowBackground

    Shortcut {
        sequence: "Escape"
        enabled: !confirmation.visible
        onActivated: root.viewModel.actions.close()
    }
    Shortcut {
        sequences: ["Ctrl+Return", "Ctrl+Enter"]
        enabled: root.viewModel.showsSave && !root.viewModel.actions.isSaving && !confirmation.visible
        onActivated: root.viewModel.actions.saveProfile()
    }

    ProfileEditorView {
        id: editor
        viewModel: root.viewModel
    }

    AlertOverlay {
        id: confirmation
        objectName: "deleteConfirmation"
        anchors.fill: parent
        visible: root.viewModel.actions.showingDeleteConfirmation
        title: "Delete Profile?"
        message: "This action cannot be undone."
        cancelText: "Cancel"
        actionText: "Delete"
        destructive: true
        onCancelled: root.viewModel.actions.cancelDelete()
        onAccepted: root.viewModel.actions.confirmDelete()
    }
}
