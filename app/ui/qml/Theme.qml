// SPDX-License-Identifier: MIT
pragma Singleton

import QtQuick
import Veltrane.Ui

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

    // Every text reaches 4.5:1 against the backgrounds it sits on, and every
    // control's outline 3:1, in both appearances: where the design's colour
    // does not, its hue stays and only its lightness moves.
    function shade(base: color, lightness: real): color {
        return Qt.hsla(base.hslHue, base.hslSaturation, lightness, 1)
    }
    // Text in three steps of ink; the design's fainter inks (0.2 to 0.5)
    // are all drawn as the third.
    readonly property color primaryText: inkAt(0.85)
    readonly property color secondaryText: inkAt(0.65)
    readonly property color tertiaryText: inkAt(0.58)

    readonly property color windowBackground: dark ? Qt.rgba(0.12, 0.12, 0.13, 1) : Qt.rgba(0.96, 0.96, 0.96, 1)
    readonly property color designGreen: Qt.rgba(0.2, 0.78, 0.35, 1)
    // Fills: the switch, the dot, the selected row's mark.
    readonly property color activeGreen: dark ? designGreen : shade(designGreen, 0.36)
    readonly property color activeText: dark ? designGreen : shade(designGreen, 0.28)
    // White text reads on both ends of the gradient.
    readonly property color accentTop: shade(Qt.rgba(0.29, 0.54, 1.0, 1), 0.52)
    readonly property color accentBottom: shade(Qt.rgba(0.19, 0.44, 0.93, 1), 0.5)
    readonly property color titleText: dark ? Qt.rgba(0.96, 0.96, 0.97, 1) : Qt.rgba(0.04, 0.04, 0.03, 1)

    // The update window: release notes on a text background, a sweeping progress bar.
    readonly property color textBackground: dark ? Qt.rgba(0.08, 0.08, 0.09, 1) : "#ffffff"
    readonly property int sweepDuration: 1200

    // Digits of one width, for figures that tick or line up.
    readonly property string figuresFamily: DesktopFont.figuresFamily

    // Type follows the desktop's font: the design's body size (13) is the
    // desktop's, and every other size keeps its ratio to it. Layouts grow
    // with the text, so nothing here is a fixed height.
    readonly property real fontScale: DesktopFont.pixelSize > 0 ? DesktopFont.pixelSize / 13 : 1
    function scaled(designSize: real): int {
        return Math.round(designSize * fontScale)
    }
    readonly property int captionSize: scaled(10)
    readonly property int smallSize: scaled(11)
    readonly property int bodySize: scaled(13)
    readonly property int titleSize: scaled(18)

    // The menu bar panel and the profile editor.
    readonly property int panelWidth: 272
    readonly property int editorWidth: 380
    readonly property int panelInset: 14
    readonly property int buttonSize: scaled(12)
    // Every button, so that those side by side in a footer line up.
    readonly property int buttonHeight: scaled(28)
    readonly property int editorTitleSize: scaled(17)
    readonly property color panelOffTitle: dark ? Qt.rgba(0.9, 0.9, 0.91, 1) : Qt.rgba(0.1, 0.1, 0.09, 1)
    readonly property color warningOrange: dark ? Qt.rgba(1.0, 0.62, 0.04, 1) : shade(Qt.rgba(1.0, 0.58, 0.0, 1), 0.29)
    readonly property color systemRed: dark ? shade(Qt.rgba(1.0, 0.27, 0.23, 1), 0.67) : shade(Qt.rgba(1.0, 0.23, 0.19, 1), 0.37)
    readonly property color errorRed: shade(Qt.rgba(1.0, 0.35, 0.35, 1), dark ? 0.7 : 0.37)
    readonly property color destructiveRow: errorRed
    // The switch: a faint track, and an outline that stays when it is disabled.
    readonly property color switchOffTrack: inkAt(0.15)
    readonly property color controlOutline: inkAt(0.5)
    readonly property real disabledOpacity: 0.4
    readonly property color knobShadow: Qt.rgba(0, 0, 0, 0.2)
    readonly property color loadingDim: Qt.rgba(0, 0, 0, 0.2)
    readonly property color alertDim: Qt.rgba(0, 0, 0, dark ? 0.45 : 0.25)
    readonly property color alertBackground: dark ? Qt.rgba(0.17, 0.17, 0.18, 1) : Qt.rgba(0.99, 0.99, 0.99, 1)
    readonly property color fieldBackground: dark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(1, 1, 1, 1)
    function withAlpha(base: color, opacity: real): color {
        return Qt.rgba(base.r, base.g, base.b, opacity)
    }
    readonly property int stateChangeDuration: 300
    readonly property int switchDuration: 200
    readonly property int pulseDuration: 1000
    // The profile list, settings and onboarding windows.
    readonly property color symbolBlue: dark ? Qt.rgba(0.04, 0.52, 1.0, 1) : Qt.rgba(0.0, 0.48, 1.0, 1)
    readonly property color controlBackground: dark ? Qt.rgba(0.2, 0.2, 0.21, 1) : Qt.rgba(1, 1, 1, 1)
    readonly property color menuBackground: dark ? Qt.rgba(0.17, 0.17, 0.18, 1) : Qt.rgba(0.98, 0.98, 0.98, 1)
    readonly property color highlight: accentBottom
    // The statistics chips of a profile row, by kind: the design's pastels,
    // solid, darkened on the light background.
    readonly property color downloadTint: dark ? Qt.rgba(0.39, 0.63, 1.0, 1) : shade(Qt.rgba(0.39, 0.63, 1.0, 1), 0.45)
    readonly property color uploadTint: dark ? Qt.rgba(1.0, 0.71, 0.24, 1) : shade(Qt.rgba(1.0, 0.71, 0.24, 1), 0.28)
    readonly property color latencyTint: dark ? Qt.rgba(0.71, 0.51, 1.0, 1) : shade(Qt.rgba(0.71, 0.51, 1.0, 1), 0.57)
    readonly property color packetLossTint: dark ? Qt.rgba(1.0, 0.78, 0.24, 1) : shade(Qt.rgba(1.0, 0.78, 0.24, 1), 0.26)
    readonly property color dnsDelayTint: dark ? Qt.rgba(0.39, 0.71, 1.0, 1) : shade(Qt.rgba(0.39, 0.71, 1.0, 1), 0.37)
    readonly property var statTints: ({
        download: downloadTint,
        upload: uploadTint,
        latency: latencyTint,
        packetLoss: packetLossTint,
        dnsDelay: dnsDelayTint
    })
    readonly property int labelSize: scaled(12)
    // The panel's picture of a schedule: phases, outages, where it stands.
    readonly property color schedulePhase: withAlpha(activeGreen, dark ? 0.45 : 0.35)
    readonly property color scheduleOutage: withAlpha(errorRed, dark ? 0.7 : 0.6)
    readonly property color scheduleMarker: primaryText
    readonly property int schedulePictureHeight: 14
    readonly property int listTitleSize: scaled(20)
    readonly property int stepTitleSize: scaled(22)
    readonly property int stepHeadingSize: scaled(17)
    readonly property int symbolTextSize: scaled(14)
}
