// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The first-run window: welcome, install the helper, done. Its height
// follows the current step.
Rectangle {
    id: root

    required property OnboardingViewModel viewModel

    implicitWidth: 450
    implicitHeight: column.implicitHeight
    color: Theme.windowBackground

    Column {
        id: column
        width: parent.width
        topPadding: 24
        bottomPadding: 32

        Row {
            objectName: "stepIndicator"
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 8
            Repeater {
                model: root.viewModel.totalSteps
                Rectangle {
                    required property int index
                    width: 8
                    height: 8
                    radius: 4
                    color: index <= root.viewModel.currentStep ? Theme.accentBottom : Qt.rgba(0.56, 0.56, 0.58, 0.3)
                    Behavior on color { ColorAnimation { duration: 250 } }
                }
            }
        }
        Item { width: 1; height: 20 }

        Item {
            width: parent.width
            implicitHeight: steps.implicitHeight

            Column {
                id: steps
                x: 40
                width: parent.width - 80

                OnboardingStep {
                    number: OnboardingViewModel.Welcome
                    currentStep: root.viewModel.currentStep
                    symbol: "icons/gauge.open.with.lines.needle.33percent.svg"
                    symbolSize: 56
                    title: "Veltrane"
                    titleSize: Theme.stepTitleSize
                    titleWeight: Font.Bold
                    text: "Simulate slow network conditions to test how your apps perform on real-world connections."

                    AccentButton {
                        objectName: "getStartedButton"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Get Started"
                        onClicked: root.viewModel.getStarted()
                    }
                }

                OnboardingStep {
                    number: OnboardingViewModel.InstallHelper
                    currentStep: root.viewModel.currentStep
                    symbol: "icons/gearshape.2.fill.svg"
                    title: "Install Privileged Helper"
                    text: "Veltrane needs a privileged helper tool to manage network settings. You may be prompted for your password."

                    Text {
                        objectName: "installError"
                        visible: root.viewModel.errorMessage !== ""
                        Accessible.role: Accessible.AlertMessage
                        Accessible.name: text
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        text: root.viewModel.errorMessage
                        color: Theme.systemRed
                        font.pixelSize: Theme.labelSize
                    }
                    AccentButton {
                        objectName: "installButton"
                        anchors.horizontalCenter: parent.horizontalCenter
                        enabled: !root.viewModel.isInstalling
                        implicitWidth: 170
                        text: root.viewModel.installButtonText

                        Spinner {
                            x: 18
                            anchors.verticalCenter: parent.verticalCenter
                            visible: root.viewModel.isInstalling
                            size: 12
                        }
                        onClicked: root.viewModel.installHelper()
                    }
                }

                OnboardingStep {
                    number: OnboardingViewModel.Done
                    currentStep: root.viewModel.currentStep
                    symbol: "icons/checkmark.circle.fill.svg"
                    symbolSize: 56
                    title: "You're All Set!"
                    titleSize: Theme.stepTitleSize
                    titleWeight: Font.Bold
                    text: "Veltrane is ready. Use the tray icon to apply throttling profiles."

                    AccentButton {
                        objectName: "startUsingButton"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Start Using Veltrane"
                        onClicked: root.viewModel.finish()
                    }
                }
            }
        }
    }
}
