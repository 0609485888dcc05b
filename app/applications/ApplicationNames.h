// SPDX-License-Identifier: MIT
#pragma once

#include "DesktopEntries.h"

#include <QHash>
#include <QString>

// What a person knows an application by: its desktop entry's name and icon
// name, or its desktop id and no icon when it has no entry. Each id's entry
// is read once: views ask for the same few ids again at every change.
class ApplicationNames final {
public:
    struct Label {
        QString name;
        // Empty without one.
        QString iconName;
    };

    explicit ApplicationNames(DesktopEntries entries)
        : m_entries(std::move(entries)) {}

    Label labelOf(const QString& desktopId);

private:
    DesktopEntries m_entries;
    QHash<QString, Label> m_labels;
};
