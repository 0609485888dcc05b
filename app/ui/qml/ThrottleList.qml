// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Every throttle the helper has on, each with its own Stop, separated by
// thin lines.
Column {
    id: list

    required property MenuBarViewModel viewModel

    objectName: "throttleList"
    visible: viewModel.listsThrottles
    spacing: 6

    Repeater {
        model: list.viewModel.listsThrottles ? list.viewModel.throttleRows : []

        Column {
            id: entry

            required property var modelData
            required property int index

            width: list.width
            spacing: 6

            SeparatorLine {
                width: parent.width
                indent: 0
                visible: entry.index > 0
            }
            ThrottleRow {
                width: parent.width
                throttleId: entry.modelData.id
                title: entry.modelData.title
                scope: entry.modelData.scope
                detail: entry.modelData.detail
                phase: list.viewModel.scheduleStanding.rowLines[entry.modelData.id] ?? ""
                figures: list.viewModel.liveStatistics.rowLines[entry.modelData.id] ?? ""
                applicationName: entry.modelData.applicationName
                iconName: entry.modelData.iconName
                busy: list.viewModel.isLoading
                onStopClicked: id => list.viewModel.stopThrottle(id)
            }
        }
    }
}
