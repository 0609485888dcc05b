// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The caption over a group of the editor's inputs, in capitals.
Text {
    font.capitalization: Font.AllUppercase
    font.pixelSize: Theme.smallSize
    font.weight: Font.DemiBold
    color: Theme.inkAt(0.3)
}
