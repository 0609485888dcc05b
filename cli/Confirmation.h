// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QTextStream>

// Asks before something the user may regret. On a terminal the question
// goes to standard error and the answer comes from standard input; without
// a terminal nobody can answer, and only --yes confirms.
struct Confirmation {
    // Ends with the question itself; " [y/N] " follows.
    QString question;
    // Without a terminal and without --yes: exit status 2.
    QString withoutTerminal;
    // Anything but yes: exit status 1.
    QString declined;

    // Returns when confirmed; throws CliError otherwise.
    void ask(bool yesGiven, QTextStream& err) const;
};
