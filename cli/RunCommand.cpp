// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "CommandCgroup.h"
#include "ProfileSwitch.h"
#include "TaskDeadline.h"
#include "TerminalCommand.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"
#include "ThrottleError.h"

#include <QObject>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

constexpr QLatin1StringView kOnly{"only"};

// Follows the helper's state while the command runs, and says at once when
// the run's throttle is no longer in force: another client ended or
// replaced it, a failure removed it, or a helper that started again did not
// restore it. What the command does from then on is unthrottled, so that
// its success proves less than it seems.
class ThrottleLoss final : public QObject {
public:
    ThrottleLoss(HelperClient& helper, QTextStream& err)
        : m_helper(helper)
        , m_err(err) {}

    // From now on throttle `id` is the run's; a helper that gives no ids
    // leaves nothing to follow.
    void follow(quint64 id) {
        if (id == 0) {
            return;
        }
        m_id = id;
        connect(&m_helper, &HelperClient::helperStateChanged, this, &ThrottleLoss::judge);
        m_helper.followState();
    }

    // The run ends its throttle itself from now on, which is no news.
    void stop() { disconnect(&m_helper, nullptr, this, nullptr); }
    // The run found its throttle gone when it came to end it: the news of
    // its end had not come before the command did.
    void foundGone() {
        if (!m_lost) {
            m_lost = true;
            m_err << "veltranectl: throttle " << m_id
                  << " ended before the command did: part of it ran unthrottled" << Qt::endl;
        }
    }
    bool wasLost() const { return m_lost; }

private:
    void judge(const HelperState& state) {
        // A helper that is away may come back with it: held throttles keep
        // their ids over a restart.
        if (m_lost || !state.available) {
            return;
        }
        const auto isRuns = [this](const HelperThrottle& throttle) { return throttle.id == m_id; };
        if (std::any_of(state.throttles.cbegin(), state.throttles.cend(), isRuns)) {
            return;
        }
        m_lost = true;
        m_err << "veltranectl: throttle " << m_id
              << " ended while the command ran: what follows runs unthrottled" << Qt::endl;
    }

    HelperClient& m_helper;
    QTextStream& m_err;
    quint64 m_id = 0;
    bool m_lost = false;
};

// Ends the throttle this command started. One that the helper no longer
// lists, with nothing left of any removal, had ended already (an 'off',
// another whole machine's throttle, the helper's own stop): no failure to
// remove it, but `loss` learns it ended before the command did.
std::optional<HelperFailure> endOwn(ThrottleControl& control, quint64 id, ThrottleLoss& loss) {
    const std::optional<HelperFailure> failure = waitForHelper(control.connection.endThrottle(id));
    if (!failure || failure->unanswered) {
        return failure;
    }
    try {
        const HelperState state = waitWithDeadline(control.connection.readState(), kHelperDeadline);
        const auto isRuns = [id](const HelperThrottle& throttle) { return throttle.id == id; };
        if (state.failure.isEmpty() &&
            std::none_of(state.throttles.cbegin(), state.throttles.cend(), isRuns)) {
            loss.foundGone();
            return std::nullopt;
        }
    } catch (const ThrottleError&) {
    } catch (const DeadlineExceeded&) {
    }
    return failure;
}

// Runs the command with a throttle of its own, which it ends by its id when
// the command has ended: throttles that other clients started stay, and
// only 'veltranectl off' ends them all. With `only`, the command alone is
// throttled: it starts held in a cgroup of its own, and runs once the
// helper shapes that cgroup's packets, so that even its first connection
// is shaped.
void runThrottled(CommandContext& context, const ThrottleProfile& profile,
                  const QByteArray& program, const QString& owner, bool only) {
    // Signals are held off before anything is switched on, so that no
    // signal can leave throttling behind; and throttling is held, so that
    // not even SIGKILL can.
    TerminalCommand terminal;
    ThrottleControl control;
    if (only) {
        // No cgroup is made for a throttle that cannot be.
        ProfileSwitch::checkSwitchable(control, profile);
    }
    ThrottleLoss loss(control.connection, context.err);
    std::unique_ptr<CommandCgroup> cgroup;
    quint64 id = 0;
    const auto start = [&](const ThrottleScope& scope) {
        id = ProfileSwitch::apply(control, context, profile, owner, scope, true);
        loss.follow(id);
    };
    int status = 0;
    std::optional<CliError> failure;
    try {
        if (only) {
            status = terminal.run(program, context.command, [&](pid_t child) {
                cgroup = std::make_unique<CommandCgroup>(child);
                ThrottleScope scope;
                scope.cgroups = {cgroup->path().toStdString()};
                start(scope);
            });
        } else {
            start({});
            status = terminal.run(program, context.command);
        }
    } catch (const CliError& error) {
        if (id == 0) {
            throw;
        }
        failure = error;
        status = error.exitStatus;
    }

    loss.stop();
    // A helper that gives no ids ends the throttle with this process, which
    // holds it.
    if (id != 0) {
        if (const std::optional<HelperFailure> removal = endOwn(control, id, loss)) {
            // Throttling that outlives the command must not look like success.
            context.err << removal->description << '\n' << ProfileSwitch::kMayStillBeOn << '\n';
            status = status != 0 ? status : CliError::failureStatus;
        }
    }
    // A command that succeeded in part unthrottled proves less than a
    // success; its own failure says more than the lost throttle.
    if (loss.wasLost() && status == 0) {
        status = CliError::failureStatus;
    }
    if (cgroup) {
        if (const std::optional<QString> left = cgroup->remove()) {
            context.err << *left << '\n';
        }
    }
    if (failure) {
        throw *failure;
    }
    context.exitStatus = status;
}

void runRun(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = ProfileSwitch::confirmedProfile(context, parser);
    const QByteArray program = TerminalCommand::resolve(context.command.constFirst());
    QStringList commandLine;
    for (const QByteArray& argument : std::as_const(context.command)) {
        commandLine << QString::fromLocal8Bit(argument);
    }
    const bool only = parser.isSet(QString(kOnly));
    runThrottled(context, profile, program,
                 ProfileSwitch::ownerDescription(only ? QStringLiteral("veltranectl run --only: ")
                                                      : QStringLiteral("veltranectl run: "),
                                                 commandLine.join(u' ')),
                 only);
}

} // namespace

Command runCommand() {
    return {.name = QStringLiteral("run"),
            .arguments = QStringLiteral("PROFILE [--] COMMAND [ARGUMENTS...]"),
            .summary =
                QStringLiteral("Run a command with throttling on, and switch it off when the "
                               "command ends."),
            .details = QStringLiteral(
                "Also when the command is interrupted, terminated or hung up on: the signal is "
                "passed on to it, and one that comes before the command has started means it "
                "never starts. Only this run's throttle is switched off; the others stay. It is "
                "held by this process: should it be killed, the helper switches it off by "
                "itself. Should it end while the command runs (another client ended or replaced "
                "it), that is said at once. Exits with the command's status, or with 1 when the "
                "command succeeded but its throttle ended before it did or may still be on. "
                "Options go before PROFILE; "
                "everything after PROFILE (and after '--' when given) belongs to the command. "
                "With --only, only the command and the processes it starts are throttled, "
                "beside whatever throttles are on: it runs in a cgroup of its own (Linux, "
                "cgroup v2), and starts once its throttle is on."),
            .options = {ProfileSwitch::yesOption(),
                        QCommandLineOption(QString(kOnly),
                                           QStringLiteral("Throttle only the command and the "
                                                          "processes it starts."))},
            .run = runRun,
            .required = {QStringLiteral("PROFILE")},
            .rest = Command::Rest::command};
}
