// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// One throttle in force: what it does, to what, whose it is and since when,
// and a Stop that ends it alone. The lines wrap rather than hide a host or
// an owner.
Column {
    id: row

    required property string throttleId
    required property string title
    required property string scope
    required property string detail
    // Where its schedule stands; empty for a throttle that plays none.
    property string phase
    // Its own rates right now; empty until read.
    property string figures
    // For one application's throttle: its icon beside the title.
    property string applicationName
    property string iconName
    property bool busy: false

    signal stopClicked(string throttleId)

    spacing: 1
    Accessible.role: Accessible.StaticText
    Accessible.name: title + ", " + scope + (phase === "" ? "" : ", " + phase)
                     + (figures === "" ? "" : ", " + figures) + ", " + detail

    Item {
        width: row.width
        implicitHeight: Math.max(titleText.implicitHeight, stop.implicitHeight)

        ApplicationIcon {
            id: icon
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            width: visible ? 18 : 0
            height: 18
            visible: row.applicationName !== ""
            iconName: row.iconName
            name: row.applicationName
            color: Theme.activeGreen
        }
        Text {
            id: titleText
            anchors.left: icon.right
            anchors.leftMargin: icon.visible ? 6 : 0
            anchors.right: stop.left
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            text: row.title
            textFormat: Text.PlainText
            color: Theme.primaryText
            font.pixelSize: Theme.smallSize
            font.weight: Font.Medium
            wrapMode: Text.Wrap
        }
        PlainButton {
            id: stop
            objectName: "stopThrottle" + row.throttleId
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: "Stop"
            enabled: !row.busy
            Accessible.name: "Stop " + row.title + ", " + row.scope
            onClicked: row.stopClicked(row.throttleId)
        }
    }
    Text {
        width: row.width
        text: row.scope
        textFormat: Text.PlainText
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        wrapMode: Text.Wrap
    }
    Text {
        width: row.width
        visible: row.phase !== ""
        text: row.phase
        textFormat: Text.PlainText
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        font.family: Theme.figuresFamily
        wrapMode: Text.Wrap
    }
    Text {
        objectName: "throttleFigures" + row.throttleId
        width: row.width
        visible: row.figures !== ""
        text: row.figures
        textFormat: Text.PlainText
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        font.family: Theme.figuresFamily
        wrapMode: Text.Wrap
    }
    Text {
        width: row.width
        text: row.detail
        textFormat: Text.PlainText
        color: Theme.tertiaryText
        font.pixelSize: Theme.captionSize
        font.family: Theme.figuresFamily
        wrapMode: Text.Wrap
    }
}
