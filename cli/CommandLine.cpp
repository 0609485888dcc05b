// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include "CliError.h"
#include "FolderOwnership.h"
#include "TerminalText.h"

#include <QStringDecoder>

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace {

constexpr QLatin1StringView program{"veltranectl"};
// Help is read in terminals of the classic width.
constexpr qsizetype kLineWidth = 80;

QString optionSynopsis(const QCommandLineOption& option) {
    QString text = QStringLiteral("--") + option.names().join(u", --");
    if (!option.valueName().isEmpty()) {
        text += u' ' + option.valueName();
    }
    return text;
}

// The words of `text` in lines of at most `width` characters; a longer
// word stands alone.
QStringList wrapped(const QString& text, qsizetype width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    return lines;
}

QString paragraph(const QString& text) {
    return wrapped(text, kLineWidth).join(u'\n') + u'\n';
}

// Terms and their descriptions, the descriptions wrapped in a column of
// their own. A term too long for the column has its description below it.
QString twoColumns(const QList<std::pair<QString, QString>>& rows) {
    constexpr qsizetype indent = 2;
    constexpr qsizetype gap = 2;
    constexpr qsizetype widestTerm = 24;
    qsizetype termWidth = 0;
    for (const auto& [term, description] : rows) {
        if (term.size() <= widestTerm) {
            termWidth = std::max(termWidth, term.size());
        }
    }
    const QString margin(indent + termWidth + gap, u' ');
    QString text;
    for (const auto& [term, description] : rows) {
        QStringList lines = wrapped(description, kLineWidth - margin.size());
        if (term.size() > termWidth) {
            text += QString(indent, u' ') + term + u'\n';
        } else if (!lines.isEmpty()) {
            text += QString(indent, u' ') + term.leftJustified(termWidth + gap) +
                    lines.takeFirst() + u'\n';
        }
        for (const QString& line : lines) {
            text += margin + line + u'\n';
        }
    }
    return text;
}

qsizetype editDistance(const QString& a, const QString& b) {
    std::vector<qsizetype> row(b.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

CommandLine::CommandLine(QList<Command> commands)
    : m_commands(std::move(commands)) {}

int CommandLine::run(const QList<QByteArray>& rawArguments, QTextStream& out,
                     QTextStream& err) const {
    QStringList arguments;
    // Names and values are stored and shown as text: bytes that are not
    // UTF-8 would turn silently into replacement characters. Only a command
    // to run gets its arguments as they are, whatever they hold.
    QList<qsizetype> notUtf8;
    for (qsizetype i = 0; i < rawArguments.size(); ++i) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        arguments << decoder.decode(rawArguments.at(i));
        if (decoder.hasError() && i > 0) {
            notUtf8 << i;
        }
    }
    const QString first = arguments.value(1);
    if (arguments.size() < 2) {
        err << "Usage: " << program << " COMMAND [options] [ARGUMENTS]\n"
            << "See '" << program << " --help' for the commands.\n";
        return CliError::usageStatus;
    }
    if (first == u"--help" || first == u"-h" || first == u"help") {
        const Command* topic = first == u"help" ? find(arguments.value(2)) : nullptr;
        out << (topic ? commandHelp(*topic) : programHelp());
        return 0;
    }
    if (first == u"--version") {
        out << program << ' ' << VELTRANE_VERSION << '\n';
        return 0;
    }
    const Command* command = find(first);
    if (!command) {
        err << unknownCommand(first);
        return CliError::usageStatus;
    }
    const QString name = QString(program) + u' ' + command->name;
    const auto usageError = [&](const QString& message) {
        err << name << ": " << message << '\n' << usage(*command);
        return CliError::usageStatus;
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(
        command->rest == Command::Rest::command ? QCommandLineParser::ParseAsPositionalArguments
                                                : QCommandLineParser::ParseAsOptions);
    parser.addOptions(command->options);
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOption(help);
    QStringList rest = arguments.mid(1);
    rest[0] = QString(program);
    if (!parser.parse(rest)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(help)) {
        out << commandHelp(*command);
        return 0;
    }

    QStringList positional = parser.positionalArguments();
    const qsizetype required = command->required.size();
    // Past the first argument the parser takes "--" as an argument too.
    if (command->rest == Command::Rest::command && positional.size() > required &&
        positional.at(required) == u"--") {
        positional.removeAt(required);
    }
    if (positional.size() < required) {
        return usageError(QStringLiteral("missing ") +
                          command->required.mid(positional.size()).join(QStringLiteral(" and ")));
    }
    if (command->rest == Command::Rest::command && positional.size() == required) {
        return usageError(QStringLiteral("missing the COMMAND to run"));
    }
    const qsizetype allowed = command->rest == Command::Rest::optional ? required + 1 : required;
    if (command->rest != Command::Rest::command && command->rest != Command::Rest::many &&
        positional.size() > allowed) {
        return usageError(QStringLiteral("unexpected argument '%1'").arg(positional.at(allowed)));
    }

    const qsizetype commandArguments =
        command->rest == Command::Rest::command ? positional.size() - required : 0;
    for (const qsizetype index : std::as_const(notUtf8)) {
        if (index < rawArguments.size() - commandArguments) {
            return usageError(QStringLiteral("'%1' is not valid UTF-8")
                                  .arg(TerminalText::name(arguments.at(index))));
        }
    }

    // Before either store touches its folder: nothing is written, not even
    // a lock file, where this process must not write. Reading needs no
    // lock and writes nothing.
    if (const std::optional<QString> refused = FolderOwnership().refusalForStores();
        refused && command->writesStores) {
        err << *refused << '\n';
        return CliError::failureStatus;
    }
    UserDefaults defaults;
    StatePersistenceService persistence(defaults);
    ProfileManager profiles(defaults);
    // The queued start-up load waits for an event loop, which a command may
    // never run: load now.
    profiles.loadBuiltInProfiles();
    profiles.loadCustomProfiles();
    CommandContext context{defaults, persistence, profiles, out, err, positional, {}};
    if (command->rest == Command::Rest::command) {
        // The program and its arguments end the command line.
        context.command = rawArguments.mid(rawArguments.size() - (positional.size() - required));
    }
    try {
        command->run(context, parser);
        if (!defaults.sync()) {
            throw CliError::failure(QStringLiteral("Could not write the settings file ") +
                                    defaults.fileName());
        }
    } catch (const CliError& error) {
        out.flush();
        for (const QString& message : error.messages) {
            err << TerminalText::line(message) << '\n';
        }
        return error.exitStatus;
    } catch (const std::exception& error) {
        // What no command expected still ends with a message and a status,
        // never with an abort.
        out.flush();
        err << TerminalText::line(QString::fromLocal8Bit(error.what())) << '\n';
        return CliError::failureStatus;
    }
    return context.exitStatus;
}

QString CommandLine::programHelp() const {
    QList<std::pair<QString, QString>> rows;
    for (const Command& command : m_commands) {
        rows.append({command.name, command.summary});
    }
    return QStringLiteral("Usage: ") + program +
           QStringLiteral(" COMMAND [options] [ARGUMENTS]\n\n") +
           paragraph(QStringLiteral(
               "Manages Veltrane's throttle profiles, the same profiles and settings as the "
               "application, and switches throttling on and off through the helper daemon. "
               "PROFILE is a profile's id or its name in any case.")) +
           QStringLiteral("\nCommands:\n") + twoColumns(rows) + u'\n' +
           paragraph(QStringLiteral("Run '%1 COMMAND --help' for a command's options, and '%1 "
                                    "--version' for the version.")
                         .arg(program));
}

QString CommandLine::usage(const Command& command) {
    return QStringLiteral("Usage: ") + program + u' ' + command.name +
           QStringLiteral(" [options]") +
           (command.arguments.isEmpty() ? QString() : u' ' + command.arguments) + u'\n';
}

QString CommandLine::commandHelp(const Command& command) {
    QList<std::pair<QString, QString>> rows;
    for (const QCommandLineOption& option : command.options) {
        rows.append({optionSynopsis(option), option.description()});
    }
    rows.append({QStringLiteral("--help"), QStringLiteral("Show this help.")});
    return usage(command) + u'\n' +
           paragraph(command.summary +
                     (command.details.isEmpty() ? QString() : u' ' + command.details)) +
           QStringLiteral("\nOptions:\n") + twoColumns(rows);
}

const Command* CommandLine::find(const QString& name) const {
    const auto it = std::find_if(m_commands.begin(), m_commands.end(),
                                 [&name](const Command& command) { return command.name == name; });
    return it == m_commands.end() ? nullptr : &*it;
}

QString CommandLine::unknownCommand(const QString& name) const {
    QString text =
        QStringLiteral("%1: '%2' is not a command. See '%1 --help'.\n").arg(program, name);
    // Typing mistakes: a letter or two out of place.
    const Command* closest = nullptr;
    qsizetype best = 3;
    for (const Command& command : m_commands) {
        if (const qsizetype distance = editDistance(name, command.name); distance < best) {
            best = distance;
            closest = &command;
        }
    }
    if (closest) {
        text += QStringLiteral("Did you mean '%1'?\n").arg(closest->name);
    }
    return text;
}
