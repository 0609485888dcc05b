// SPDX-License-Identifier: MIT
import QtQuick

// A rounded card that holds rows stacked without spacing.
Rectangle {
    default property alias content: column.data

    implicitHeight: column.implicitHeight
    radius: 10
    color: Theme.inkAt(0.04)
    border.color: Theme.inkAt(0.06)

    Column {
        id: column
        width: parent.width
    }
}
