// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick

// One step of the onboarding: a symbol, a title, an explanation, and what
// the step adds below them. Shown only while it is the current step.
Column {
    id: step

    required property int number
    required property int currentStep
    property alias symbol: symbolImage.source
    property real symbolSize: 48
    property alias title: titleText.text
    property int titleSize: Theme.stepHeadingSize
    property int titleWeight: Font.DemiBold
    property alias text: bodyText.text
    default property alias extras: extraColumn.data

    width: parent ? parent.width : 0
    spacing: 12
    visible: number === currentStep
    opacity: visible ? 1 : 0
    Behavior on opacity { NumberAnimation { duration: 250 } }

    Image {
        id: symbolImage
        anchors.horizontalCenter: parent.horizontalCenter
        width: step.symbolSize
        height: step.symbolSize
        sourceSize.width: 2 * step.symbolSize
        sourceSize.height: 2 * step.symbolSize
    }
    Text {
        id: titleText
        width: parent.width
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        color: Theme.titleText
        font.pixelSize: step.titleSize
        font.weight: step.titleWeight
    }
    Text {
        id: bodyText
        width: parent.width
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        textFormat: Text.StyledText
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
        lineHeight: 1.15
    }
    Column {
        id: extraColumn
        width: parent.width
        spacing: 12
    }
}
