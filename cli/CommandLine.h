// SPDX-License-Identifier: MIT
#pragma once

#include "Command.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

// Chooses the command from the arguments, parses its options, answers
// --help, and turns failures into messages and exit statuses.
class CommandLine final {
public:
    explicit CommandLine(QList<Command> commands);

    // arguments[0] is the program. Returns the exit status.
    int run(const QStringList& arguments, QTextStream& out, QTextStream& err) const;

private:
    QString programHelp() const;
    static QString commandHelp(const Command& command);
    const Command* find(const QString& name) const;
    static int runCommand(const Command& command, const QCommandLineParser& parser,
                          QTextStream& out, QTextStream& err);

    QList<Command> m_commands;
};
