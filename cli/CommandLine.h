// SPDX-License-Identifier: MIT
#pragma once

#include "Command.h"

#include <QByteArray>
#include <QList>
#include <QTextStream>

// Chooses the command from the arguments, parses its options, answers
// --help and --version, and turns failures into messages and exit statuses.
class CommandLine final {
public:
    explicit CommandLine(QList<Command> commands);

    // arguments[0] is the program; the arguments as the process got them.
    // Returns the exit status.
    int run(const QList<QByteArray>& arguments, QTextStream& out, QTextStream& err) const;

private:
    QString programHelp() const;
    static QString commandHelp(const Command& command);
    static QString usage(const Command& command);
    const Command* find(const QString& name) const;
    QString unknownCommand(const QString& name) const;

    QList<Command> m_commands;
};
