// SPDX-License-Identifier: MIT
#include "CommandLine.h"
#include "Diagnostics.h"
#include "ExchangeCommands.h"
#include "ProfileCommands.h"
#include "ThrottleCommands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[]) {
    // Taken before Qt sees them: QCoreApplication removes arguments it
    // claims for itself, and a command to run gets its own byte for byte.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QByteArray(argv[i]);
    }
    const QCoreApplication app(argc, argv);
    // Standard output carries data (an id, a listing, JSON) only.
    Diagnostics::sendToStandardError();
    QTextStream out(stdout);
    QTextStream err(stderr);
    return CommandLine(profileCommands() + exchangeCommands() + throttleCommands())
        .run(arguments, out, err);
}
