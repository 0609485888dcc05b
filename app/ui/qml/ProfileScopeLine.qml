// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The small line of a profile row that tells what traffic the profile
// shapes, led by the application's icon when it is for one.
Item {
    id: line

    property string text
    // Empty for destinations.
    property string applicationName
    property string iconName

    implicitHeight: Math.max(label.implicitHeight, icon.visible ? icon.height : 0)

    ApplicationIcon {
        id: icon
        anchors.verticalCenter: parent.verticalCenter
        width: Theme.scaled(12)
        height: width
        visible: line.applicationName !== ""
        iconName: line.iconName
        name: line.applicationName
        color: Theme.secondaryText
    }
    Text {
        id: label
        objectName: "profileScope"
        anchors.left: icon.visible ? icon.right : parent.left
        anchors.leftMargin: icon.visible ? 4 : 0
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: line.text
        textFormat: Text.PlainText
        elide: Text.ElideRight
        color: Theme.tertiaryText
        font.pixelSize: Theme.smallSize
    }
}
