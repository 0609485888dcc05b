// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The running throttle: its summary, where its schedule stands, what the
// shaping does right now, the auto-off countdown and a button to stop. It fades in while sliding down from the header, and out again.
Item {
    id: section

    required property MenuBarViewModel viewModel
    // The panel is on screen: the clocks inside tick only then.
    property bool panelShown: true
    readonly property bool shown: viewModel.showsActiveSection
    // 0 hidden, 1 shown; only switching on and off animates, not the card's
    // own changes of height.
    property real reveal: shown ? 1 : 0

    implicitWidth: Theme.panelWidth
    implicitHeight: reveal * (card.height + 2)
    visible: reveal > 0
    opacity: reveal
    clip: true

    Behavior on reveal {
        NumberAnimation { duration: Theme.stateChangeDuration; easing.type: Easing.InOutQuad }
    }

    Rectangle {
        id: card
        objectName: "activeSection"
        x: Theme.panelInset
        anchors.bottom: parent.bottom
        width: parent.width - 2 * Theme.panelInset
        height: content.implicitHeight + 20
        radius: 8
        color: Theme.withAlpha(Theme.activeGreen, 0.06)
        border.color: Theme.withAlpha(Theme.activeGreen, 0.1)

        Column {
            id: content
            x: 10
            y: 10
            width: parent.width - 20
            spacing: 6

            // This application's profile; absent while only others' run.
            CompactStatsLine {
                width: parent.width
                model: section.viewModel.statsLine
                visible: model.text !== ""
                running: section.panelShown && section.shown && visible
            }
            ScheduleStanding {
                width: parent.width
                model: section.viewModel.scheduleStanding
                showsLine: !section.viewModel.listsThrottles
                running: section.panelShown && section.shown
            }
            LiveFigures {
                width: parent.width
                model: section.viewModel.liveStatistics
                running: section.panelShown && section.shown
            }
            AutoOffCountdown {
                width: parent.width
                model: section.viewModel.countdown
                running: section.panelShown && section.shown
            }
            ThrottleList {
                width: parent.width
                viewModel: section.viewModel
            }
            PlainButton {
                objectName: "stopButton"
                width: parent.width
                text: section.viewModel.listsThrottles ? "Stop All Throttling" : "Stop Throttling"
                enabled: !section.viewModel.isLoading
                onClicked: section.viewModel.handleToggle(false)
            }
        }
    }
}
