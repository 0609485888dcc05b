// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// "Only an application": a search over a short list of the installed
// applications, the chosen one checked. The list is one stop of Tab, at the
// row that was current: Up and Down move through the rows, Space or Return
// chooses; Down from the search field enters the list.
Column {
    id: choice

    required property ProfileEditorFields fields
    required property bool editable
    readonly property ApplicationChoiceModel applications: fields.applications
    // Rows of one height: the list shows five and a half of them, so that
    // one cut in half says there are more.
    readonly property int rowHeight: Theme.scaled(38)

    spacing: 6

    // The current row follows the chosen one, or the first, whenever
    // either changes or the search leaves another number of rows.
    readonly property int chosenRow: applications.chosenRow
    onChosenRowChanged: settleCurrentRow()
    function settleCurrentRow() {
        makeCurrent(Math.max(0, chosenRow), false)
    }
    // The current row is the list's one stop of Tab. A row must not stop
    // being one while it has the focus: the focus moves first.
    function makeCurrent(index: int, focus: bool) {
        if (index < 0 || index >= list.count)
            return
        if (list.height > 0)
            list.positionViewAtIndex(index, ListView.Contain)
        const row = list.itemAtIndex(index)
        if (row && (focus || list.activeFocus))
            row.forceActiveFocus(Qt.TabFocusReason)
        list.currentIndex = index
    }

    Component.onCompleted: settleCurrentRow()

    EditorTextField {
        objectName: "applicationSearch"
        width: parent.width
        enabled: choice.editable
        placeholderText: "Search by name or desktop id"
        Accessible.name: "Search applications"
        text: choice.applications.searchText
        onTextEdited: choice.applications.searchText = text
        Keys.onDownPressed: choice.makeCurrent(list.currentIndex, true)
    }
    Rectangle {
        width: parent.width
        height: Math.min(list.count, 5.5) * choice.rowHeight + 2
        visible: list.count > 0
        radius: 6
        color: Theme.fieldBackground
        border.width: 1
        border.color: Theme.inkAt(0.12)
        opacity: enabled ? 1 : 0.6
        enabled: choice.editable

        ListView {
            id: list
            objectName: "applicationList"
            anchors.fill: parent
            anchors.margins: 1
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            model: choice.applications
            // The current row is brought into view here, once the list has
            // its height: followed while the list is still being laid out,
            // it would leave the list scrolled to its end.
            highlightFollowsCurrentItem: false
            onCountChanged: choice.settleCurrentRow()
            onHeightChanged: {
                if (height > 0)
                    positionViewAtIndex(currentIndex, ListView.Contain)
            }
            Accessible.role: Accessible.List
            Accessible.name: "Installed applications"

            delegate: ApplicationChoiceRow {
                id: row
                width: list.width
                height: choice.rowHeight
                activeFocusOnTab: ListView.isCurrentItem
                onChosen: {
                    choice.makeCurrent(row.index, false)
                    choice.applications.choose(row.index)
                }
                Keys.onUpPressed: choice.makeCurrent(row.index - 1, true)
                Keys.onDownPressed: choice.makeCurrent(row.index + 1, true)
            }

            T.ScrollIndicator.vertical: T.ScrollIndicator {
                implicitWidth: 8
                padding: 2
                contentItem: Rectangle {
                    implicitWidth: 4
                    radius: 2
                    color: Theme.inkAt(0.25)
                    visible: list.contentHeight > list.height
                }
            }
        }
    }
    Text {
        objectName: "applicationNotice"
        width: parent.width
        visible: text !== ""
        text: choice.applications.notice
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
    }
    Text {
        objectName: "applicationMessage"
        width: parent.width
        visible: text !== ""
        text: choice.fields.applicationMessage
        wrapMode: Text.WordWrap
        color: Theme.errorRed
        font.pixelSize: Theme.smallSize
    }
}
