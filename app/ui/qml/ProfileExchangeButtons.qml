// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Dialogs
import Veltrane.Ui

// Import… and Export… of the profile list's footer: each opens a file
// dialog and hands the chosen file to the view model, whose answer the
// window's alert shows.
Row {
    id: root

    required property ProfileListViewModel viewModel

    spacing: 8

    BorderedButton {
        objectName: "importButton"
        text: "Import…"
        onClicked: importDialog.open()
    }
    BorderedButton {
        objectName: "exportButton"
        text: "Export…"
        enabled: root.viewModel.canExport
        onClicked: exportDialog.open()
    }

    FileDialog {
        id: importDialog
        objectName: "importDialog"
        // Found when the dialog is made, before the view has a window.
        parentWindow: root.Window.window
        title: "Import Profiles"
        fileMode: FileDialog.OpenFile
        nameFilters: ["Veltrane profiles (*.json)", "All files (*)"]
        onAccepted: root.viewModel.importProfiles(selectedFile)
    }
    FileDialog {
        id: exportDialog
        objectName: "exportDialog"
        parentWindow: root.Window.window
        title: "Export Profiles"
        fileMode: FileDialog.SaveFile
        defaultSuffix: "json"
        nameFilters: ["Veltrane profiles (*.json)"]
        onAccepted: root.viewModel.exportProfiles(selectedFile)
    }
}
