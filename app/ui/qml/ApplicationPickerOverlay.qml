// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
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
            search.text = ""
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
            onTextChanged: overlay.picker.searchText = text
            Keys.onDownPressed: list.moveFocus(0)
            Keys.onReturnPressed: overlay.pickAt(list.currentIndex >= 0 ? list.currentIndex : 0)
            Keys.onEnterPressed: overlay.pickAt(list.currentIndex >= 0 ? list.currentIndex : 0)
        }
    }

    function pickAt(row) {
        if (applications.hasProfile && row >= 0 && row < list.count)
            picker.pick(row)
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
        currentIndex: -1
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        Accessible.role: Accessible.List
        Accessible.name: "Running applications"

        function moveFocus(row) {
            if (count === 0)
                return
            currentIndex = row
            currentItem.forceActiveFocus(Qt.TabFocusReason)
        }

        delegate: T.AbstractButton {
            id: row

            required property int index
            required property string desktopId
            required property string name
            required property string iconName
            required property string detail

            objectName: "application-" + desktopId
            width: ListView.view.width
            implicitHeight: Math.max(28, label.implicitHeight) + 10
            enabled: overlay.applications.hasProfile
            hoverEnabled: true
            Accessible.name: name + ", " + detail
            Accessible.role: Accessible.Button
            onClicked: overlay.pickAt(index)
            Keys.onUpPressed: index === 0 ? search.forceActiveFocus(Qt.TabFocusReason)
                                          : ListView.view.moveFocus(index - 1)
            Keys.onDownPressed: ListView.view.moveFocus(Math.min(index + 1, ListView.view.count - 1))
            Keys.onReturnPressed: overlay.pickAt(index)
            Keys.onEnterPressed: overlay.pickAt(index)

            background: Rectangle {
                anchors.fill: parent
                anchors.leftMargin: 6
                anchors.rightMargin: 6
                radius: 6
                color: row.down ? Theme.inkAt(0.08) : row.hovered || row.activeFocus ? Theme.inkAt(0.04) : "transparent"
            }
            contentItem: Item {
                ApplicationIcon {
                    id: icon
                    x: Theme.panelInset
                    anchors.verticalCenter: parent.verticalCenter
                    width: 22
                    height: 22
                    iconName: row.iconName
                    name: row.name
                    color: Theme.symbolBlue
                    opacity: row.enabled ? 1 : Theme.disabledOpacity
                }
                Column {
                    id: label
                    anchors.left: icon.right
                    anchors.leftMargin: 8
                    anchors.right: parent.right
                    anchors.rightMargin: Theme.panelInset
                    anchors.verticalCenter: parent.verticalCenter
                    opacity: row.enabled ? 1 : Theme.disabledOpacity

                    Text {
                        width: parent.width
                        text: row.name
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: Theme.primaryText
                        font.pixelSize: Theme.bodySize
                    }
                    Text {
                        width: parent.width
                        text: row.detail
                        textFormat: Text.PlainText
                        elide: Text.ElideMiddle
                        color: Theme.tertiaryText
                        font.pixelSize: Theme.captionSize
                    }
                }
            }
            FocusRing {
                anchors.leftMargin: 4
                anchors.rightMargin: 4
                shown: row.activeFocus
            }
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
