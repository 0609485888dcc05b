// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// A schedule's phases side by side as long as each lasts, outages in red,
// or a trace's rate as bars; a thin line marks where it stands now.
Item {
    id: picture

    required property ScheduleStandingModel model

    objectName: "schedulePicture"
    implicitHeight: Theme.schedulePictureHeight
    Accessible.role: Accessible.Graphic
    Accessible.name: model.pictureName

    Repeater {
        model: picture.model.isTrace ? [] : picture.model.segments

        Rectangle {
            required property var modelData
            x: modelData.start * picture.width
            width: Math.max(1, modelData.width * picture.width - 1)
            height: picture.height
            radius: 2
            color: modelData.outage ? Theme.scheduleOutage : Theme.schedulePhase
        }
    }
    Row {
        id: bars
        anchors.fill: parent
        visible: picture.model.isTrace

        Repeater {
            model: picture.model.isTrace ? picture.model.curve : []

            Item {
                required property real modelData
                width: bars.width / Math.max(1, picture.model.curve.length)
                height: bars.height

                Rectangle {
                    anchors.bottom: parent.bottom
                    width: parent.width
                    height: Math.max(1, parent.modelData * parent.height)
                    color: parent.modelData > 0 ? Theme.schedulePhase : Theme.scheduleOutage
                }
            }
        }
    }
    Rectangle {
        objectName: "scheduleMarker"
        x: Math.min(picture.width - width, picture.model.marker * picture.width)
        y: -2
        width: 2
        height: picture.height + 4
        radius: 1
        color: Theme.scheduleMarker
    }
}
