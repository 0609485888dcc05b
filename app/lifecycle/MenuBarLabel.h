// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleState.h"

#include <QString>

// What the tray entry shows for a throttling state: the gauge symbol and
// the tooltip, naming who switched throttling on when it was not this
// application, then one line per condition of the running profile.
struct MenuBarLabel {
    QString iconName;
    QString tooltip;

    static MenuBarLabel from(const ThrottleState& state);

    static inline const QString offIcon = QStringLiteral("gauge.open.with.lines.needle.33percent");
    static inline const QString onIcon =
        QStringLiteral("gauge.open.with.lines.needle.33percent.and.arrowtriangle");
};

QString menuBarTooltip(const ThrottleState& state);
