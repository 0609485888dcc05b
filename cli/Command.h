// SPDX-License-Identifier: MIT
#pragma once

#include "CommandContext.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One subcommand of veltranectl. New groups of commands (throttling, for
// one) add a list of these beside the profile commands.
struct Command {
    QString name;
    // The positional arguments as the usage line shows them, e.g. "PROFILE".
    QString arguments;
    QString summary;
    QList<QCommandLineOption> options;
    // Throws CliError; the parser has already checked the options.
    std::function<void(CommandContext&, const QCommandLineParser&)> run;
    // The one named argument may be followed by a command to run and its
    // arguments (after "--").
    bool takesCommand = false;
};
