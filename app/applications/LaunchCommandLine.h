// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// A command as a person types it to launch, split into its program and
// arguments by a shell's rules for words: blanks between words, '…' taken
// as it stands, "…" with \" \\ \$ \` escaped, a backslash keeping the
// character after it, ~ at the start of a word the home folder. Never run
// by a shell, though: what only a shell does (pipes, redirections, lists,
// variables, command substitution) is refused rather than passed on as
// words, so that nothing runs but what the person read. Throws LaunchError
// saying what is wrong.
namespace LaunchCommandLine {

QStringList arguments(const QString& line, const QString& home);

} // namespace LaunchCommandLine
