// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Whether the profile shapes all traffic, only traffic to the listed
// destinations, which are checked as they are typed, or only the traffic of
// one installed application.
EditorCard {
    id: card

    required property ProfileEditorFields fields
    required property bool editable

    title: "Applies To"

    // Three choices too long to sit side by side at every font size: behind
    // a pop-up, as the current one reads.
    DurationPicker {
        objectName: "appliesTo"
        width: Math.min(parent.width, Theme.scaled(200))
        enabled: card.editable
        opacity: enabled ? 1 : Theme.disabledOpacity
        choices: card.fields.appliesToChoices
        currentIndex: card.fields.appliesTo
        displayText: card.fields.appliesToChoices[card.fields.appliesTo]
        Accessible.name: "Applies to " + displayText
        onActivated: index => card.fields.appliesTo = index
    }
    Column {
        width: parent.width
        spacing: 6
        visible: card.fields.showsDestinations

        DestinationsField {
            objectName: "destinationsField"
            width: parent.width
            enabled: card.editable
            placeholderText: "api.example.com\n10.0.0.0/8\n192.0.2.7:443"
            Accessible.name: "Destinations"
            Accessible.description: "One host, address or network a line, each with an optional port"
            text: card.fields.destinations
            onTextChanged: card.fields.destinations = text
        }
        Text {
            width: parent.width
            text: "One a line: a host, an address or a network, each with an optional port (:443), or a port alone."
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
        }
        Text {
            objectName: "destinationsMessage"
            width: parent.width
            visible: text !== ""
            text: card.fields.destinationsMessage
            wrapMode: Text.WordWrap
            color: Theme.errorRed
            font.pixelSize: Theme.smallSize
        }
    }
    ApplicationChoice {
        width: parent.width
        visible: card.fields.showsApplications
        fields: card.fields
        editable: card.editable
    }
}
