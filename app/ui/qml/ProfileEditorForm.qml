// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The editor's body: the read-only banner, the error box, the name, the
// five conditions, the traffic they apply to, the advanced ones and how they
// change over time. Every input writes straight into
// the view model's form.
Column {
    id: form

    required property ProfileEditorViewModel viewModel
    readonly property bool editable: !viewModel.isReadOnly

    spacing: 14

    ReadOnlyBanner {
        width: parent.width
        visible: form.viewModel.isReadOnly
    }
    EditorErrorBox {
        width: parent.width
        messages: form.viewModel.messages
    }
    ProfileNameSection {
        width: parent.width
        fields: form.viewModel.fields
        messages: form.viewModel.messages
        editable: form.editable
    }
    BandwidthLimitsCard {
        width: parent.width
        fields: form.viewModel.fields
        messages: form.viewModel.messages
        editable: form.editable
    }
    NetworkConditionsCard {
        width: parent.width
        fields: form.viewModel.fields
        messages: form.viewModel.messages
        lossSlider: form.viewModel.lossSlider
        editable: form.editable
    }
    AppliesToCard {
        width: parent.width
        fields: form.viewModel.fields
        editable: form.editable
    }
    AdvancedConditions {
        width: parent.width
        fields: form.viewModel.fields
        editable: form.editable
    }
    ChangesOverTimeCard {
        width: parent.width
        schedule: form.viewModel.schedule
        editable: form.editable
    }
}
