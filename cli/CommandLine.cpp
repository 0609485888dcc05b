// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include "CliError.h"

#include <utility>

namespace {

constexpr QLatin1StringView program{"veltranectl"};

QString optionSynopsis(const QCommandLineOption& option) {
    QString text = QStringLiteral("--") + option.names().join(u", --");
    if (!option.valueName().isEmpty()) {
        text += u' ' + option.valueName();
    }
    return text;
}

QString twoColumns(const QList<std::pair<QString, QString>>& rows) {
    qsizetype width = 0;
    for (const auto& [left, right] : rows) {
        width = std::max(width, left.size());
    }
    QString text;
    for (const auto& [left, right] : rows) {
        text += QStringLiteral("  ") + left.leftJustified(width + 2) + right + u'\n';
    }
    return text;
}

} // namespace

CommandLine::CommandLine(QList<Command> commands)
    : m_commands(std::move(commands)) {}

int CommandLine::run(const QStringList& arguments, QTextStream& out, QTextStream& err) const {
    const QString first = arguments.value(1);
    if (first == u"--help" || first == u"-h" || first == u"help") {
        out << programHelp();
        return 0;
    }
    const Command* command = find(first);
    if (!command) {
        err << (first.isEmpty()
                    ? QStringLiteral("Missing command.")
                    : QStringLiteral("Unknown command '") + first + QStringLiteral("'."))
            << u'\n' << programHelp();
        return CliError::usageStatus;
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions(command->options);
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOption(help);
    QStringList rest = arguments.mid(1);
    rest[0] = QString(program);
    if (!parser.parse(rest)) {
        err << parser.errorText() << u'\n' << commandHelp(*command);
        return CliError::usageStatus;
    }
    if (parser.isSet(help)) {
        out << commandHelp(*command);
        return 0;
    }
    const qsizetype expected = command->arguments.isEmpty() ? 0 : 1;
    const qsizetype given = parser.positionalArguments().size();
    if (command->takesCommand ? given < expected + 1 : given != expected) {
        err << QStringLiteral("Usage: ") << program << u' ' << command->name
            << (expected ? u' ' + command->arguments : QString()) << u'\n';
        return CliError::usageStatus;
    }
    try {
        return runCommand(*command, parser, out, err);
    } catch (const CliError& error) {
        out.flush();
        for (const QString& message : error.messages) {
            err << message << u'\n';
        }
        return error.exitStatus;
    }
}

int CommandLine::runCommand(const Command& command, const QCommandLineParser& parser,
                            QTextStream& out, QTextStream& err) {
    UserDefaults defaults;
    ProfileManager profiles(defaults);
    // The queued start-up load never runs here, as no event loop does: load now.
    profiles.loadBuiltInProfiles();
    profiles.loadCustomProfiles();
    CommandContext context{defaults, profiles, out, err};
    command.run(context, parser);
    if (!defaults.sync()) {
        throw CliError::failure(QStringLiteral("Could not write the settings file ") +
                                defaults.fileName());
    }
    return context.exitStatus;
}

QString CommandLine::programHelp() const {
    QList<std::pair<QString, QString>> rows;
    for (const Command& command : m_commands) {
        rows.append(
            {command.name + (command.arguments.isEmpty() ? QString() : u' ' + command.arguments),
             command.summary});
    }
    return QStringLiteral("Usage: ") + program +
           QStringLiteral(" COMMAND [options]\n\n"
                          "Manages Veltrane's throttle profiles, the same profiles and settings as "
                          "the application,\nand switches throttling on and off through the "
                          "helper daemon.\nPROFILE is a profile's id or its name in any case.\n\n"
                          "Commands:\n") +
           twoColumns(rows) + QStringLiteral("\nRun '") + program +
           QStringLiteral(" COMMAND --help' for a command's options.\n");
}

QString CommandLine::commandHelp(const Command& command) {
    QList<std::pair<QString, QString>> rows;
    for (const QCommandLineOption& option : command.options) {
        rows.append({optionSynopsis(option), option.description()});
    }
    rows.append({QStringLiteral("--help"), QStringLiteral("Show this help.")});
    return QStringLiteral("Usage: ") + program + u' ' + command.name +
           (command.arguments.isEmpty() ? QString() : u' ' + command.arguments) +
           QStringLiteral(" [options]\n\n") + command.summary + QStringLiteral("\n\nOptions:\n") +
           twoColumns(rows);
}

const Command* CommandLine::find(const QString& name) const {
    for (const Command& command : m_commands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}
