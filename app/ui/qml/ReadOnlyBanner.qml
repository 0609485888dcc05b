// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Above the form of a built-in profile: why nothing can be changed, and
// what to do instead.
Rectangle {
    id: banner

    objectName: "readOnlyBanner"
    height: bannerText.implicitHeight + 16
    radius: 8
    color: Theme.withAlpha(Theme.warningOrange, 0.1)

    SymbolIcon {
        x: 10
        y: 9
        width: 11
        height: 11
        name: "lock.fill"
        color: Theme.warningOrange
    }
    Text {
        id: bannerText
        x: 27
        y: 8
        width: banner.width - 37
        text: "Built-in profile — cannot be edited. Use 'Duplicate' to create an editable copy."
        wrapMode: Text.WordWrap
        color: Theme.warningOrange
        font.pixelSize: Theme.smallSize
    }
}
