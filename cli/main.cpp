// SPDX-License-Identifier: MIT
#include "CommandLine.h"
#include "ProfileCommands.h"
#include "ThrottleCommands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return CommandLine(profileCommands() + throttleCommands())
        .run(QCoreApplication::arguments(), out, err);
}
