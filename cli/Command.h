// SPDX-License-Identifier: MIT
#pragma once

#include "CommandContext.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One subcommand of veltranectl.
struct Command {
    // What may follow the required arguments.
    enum class Rest {
        none,
        // One more argument at most; the command checks it.
        optional,
        // Any number more; the command checks them.
        many,
        // A program to run and its arguments, after an optional "--": at
        // least the program. Options of veltranectl end at the first
        // argument, so that everything after it is the program's.
        command,
    };

    QString name = {};
    // The arguments as the usage line shows them, e.g. "PROFILE".
    QString arguments = {};
    QString summary = {};
    // More for the command's own help.
    QString details = {};
    QList<QCommandLineOption> options = {};
    // Throws CliError; the command line has already been checked.
    std::function<void(CommandContext&, const QCommandLineParser&)> run = {};
    // The arguments that must be given, by the names that messages use.
    QStringList required = {};
    Rest rest = Rest::none;
    // Whether it may write the settings or the profiles. As root with
    // another user's folders (sudo -E) only commands that do not are run:
    // reading, exporting to standard output and switching throttling off
    // must work when the network is crippled.
    bool writesStores = true;
};
