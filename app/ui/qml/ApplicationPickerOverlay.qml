// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Over the whole panel: the user's running applications, searched as they
// type, to throttle one with the panel's profile. Up and Down go through
// the list from the search field, Return picks, Escape goes back.
Rectangle {
    id: overlay

    required property PanelApplications applications
    readonly property ApplicationPickerModel picker: applications.picker

    signal launchRequested()

    color: Theme.windowBackground
    Accessible.role: Accessible.Dialog
    Accessible.name: "Only an Application"

    onVisibleChanged: {
        if (visible) {
            showFirstRow()
            search.forceActiveFocus(Qt.TabFocusReason)
        }
    }

    // Modal: nothing under it takes a click or a hover.
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
    }
    Shortcut {
        sequence: "Escape"
        enabled: overlay.visible
        onActivated: overlay.applications.closePicker()
    }

    Column {
        id: head
        x: Theme.panelInset
        y: 12
        width: parent.width - 2 * Theme.panelInset
        spacing: 6

        Text {
            width: parent.width
            text: "Only an Application"
            color: Theme.titleText
            font.pixelSize: Theme.bodySize
            font.weight: Font.DemiBold
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            objectName: "pickerProfile"
            width: parent.width
            text: overlay.applications.profileText
            wrapMode: Text.Wrap
            color: overlay.applications.hasProfile ? Theme.secondaryText : Theme.warningOrange
            font.pixelSize: Theme.smallSize
        }
        EditorTextField {
            id: search
            objectName: "applicationSearch"
            width: parent.width
            placeholderText: "Search applications"
            Accessible.name: "Search running applications"
            text: overlay.picker.searchText
            onTextEdited: {
                overlay.picker.searchText = text
                overlay.showFirstRow()
            }
            Keys.onDownPressed: list.incrementCurrentIndex()
            Keys.onUpPressed: list.decrementCurrentIndex()
            Keys.onReturnPressed: overlay.pickAt(list.currentIndex)
            Keys.onEnterPressed: overlay.pickAt(list.currentIndex)
        }
    }

    function pickAt(row) {
        if (applications.hasProfile)
            picker.pick(row)
    }
    // A list read afresh keeps its index, which may now be past its end:
    // the best match of a new search is the first.
    function showFirstRow() {
        list.currentIndex = list.count > 0 ? 0 : -1
    }

    ListView {
        id: list
        objectName: "applicationList"
        anchors.top: head.bottom
        anchors.topMargin: 8
        anchors.bottom: foot.top
        anchors.bottomMargin: 8
        width: parent.width
        clip: true
        model: overlay.picker
        boundsBehavior: Flickable.StopAtBounds
        activeFocusOnTab: true
        highlightMoveDuration: 0
        Accessible.role: Accessible.List
        Accessible.name: "Running applications"
        Keys.onReturnPressed: overlay.pickAt(currentIndex)
        Keys.onEnterPressed: overlay.pickAt(currentIndex)
        onCountChanged: {
            if (currentIndex < 0 || currentIndex >= count)
                overlay.showFirstRow()
        }

        delegate: ApplicationRow {
            required property int index
            required property string desktopId
            objectName: "application-" + desktopId
            width: list.width
            enabled: overlay.applications.hasProfile
            isCurrent: ListView.isCurrentItem
            showsFocus: list.activeFocus
            onActivated: overlay.pickAt(index)
        }
    }

    Text {
        objectName: "pickerNotice"
        anchors.top: head.bottom
        anchors.topMargin: 12
        x: Theme.panelInset
        width: parent.width - 2 * Theme.panelInset
        visible: text !== ""
        text: overlay.picker.isLoading ? "Reading the running applications…" : overlay.picker.notice
        wrapMode: Text.Wrap
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
    }

    Column {
        id: foot
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 12
        x: Theme.panelInset
        width: parent.width - 2 * Theme.panelInset
        spacing: 6

        PlainButton {
            objectName: "pickerLaunch"
            width: parent.width
            visible: overlay.picker.offersLaunch
            text: "Launch Throttled…"
            onClicked: overlay.launchRequested()
        }
        PlainButton {
            objectName: "pickerCancel"
            width: parent.width
            text: "Cancel"
            onClicked: overlay.applications.closePicker()
        }
    }
}
