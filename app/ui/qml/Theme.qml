// SPDX-License-Identifier: MIT
pragma Singleton

import QtQuick

// The palette, type sizes and durations of every view, in a light and a dark
// appearance. The appearance follows the desktop: dark when its window colour
// is darker than its text colour. No view names a colour or size of its own.
QtObject {
    id: theme

    readonly property SystemPalette systemPalette: SystemPalette {}
    readonly property bool dark: systemPalette.window.hslLightness < systemPalette.windowText.hslLightness

    // Ink is white on dark and black on light, and always used at an opacity:
    // inkAt(0.35) is "ink at 0.35".
    readonly property color ink: dark ? "#ffffff" : "#000000"
    function inkAt(opacity: real): color {
        return dark ? Qt.rgba(1, 1, 1, opacity) : Qt.rgba(0, 0, 0, opacity)
    }

    readonly property color windowBackground: dark ? Qt.rgba(0.12, 0.12, 0.13, 1) : Qt.rgba(0.96, 0.96, 0.96, 1)
    readonly property color activeGreen: Qt.rgba(0.2, 0.78, 0.35, 1)
    readonly property color accentTop: Qt.rgba(0.29, 0.54, 1.0, 1)
    readonly property color accentBottom: Qt.rgba(0.19, 0.44, 0.93, 1)
    readonly property color titleText: dark ? Qt.rgba(0.96, 0.96, 0.97, 1) : Qt.rgba(0.04, 0.04, 0.03, 1)

    // Point sizes of the design, drawn as logical pixels.
    readonly property int captionSize: 10
    readonly property int smallSize: 11
    readonly property int bodySize: 13
    readonly property int titleSize: 18
}
