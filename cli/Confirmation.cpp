// SPDX-License-Identifier: MIT
#include "Confirmation.h"

#include "CliError.h"

#include <unistd.h>

void Confirmation::ask(bool yesGiven, QTextStream& err) const {
    if (yesGiven) {
        return;
    }
    if (!::isatty(STDIN_FILENO)) {
        throw CliError::usage({withoutTerminal});
    }
    err << question << " [y/N] " << Qt::flush;
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    if (answer != u"y" && answer != u"yes") {
        throw CliError::failure(declined);
    }
}
