// SPDX-License-Identifier: MIT
import QtQuick

// The upper-case label above a card.
Text {
    leftPadding: 4
    font.pixelSize: Theme.smallSize
    font.weight: Font.DemiBold
    font.letterSpacing: 0.5
    font.capitalization: Font.AllUppercase
    color: Theme.tertiaryText
}
