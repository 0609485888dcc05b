// SPDX-License-Identifier: MIT
#include "ScheduleScript.h"

#include "DecimalFormat.h"
#include "ScriptWords.h"
#include "TrafficControlSteps.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace {

using ScriptWords::commandLine;

// Shared by every player. The clock is the kernel's uptime: it never steps
// as the wall clock may, and reading it starts no process; its hundredths
// of a second are finer than the shortest phase or step (100 ms). Each
// change is due at its time from the start, so what tc and the shell take
// never adds up. POSIX sleep takes whole seconds only; GNU's and busybox's
// take fractions, and a sleep that refuses them fails the player rather
// than letting it run through the steps at once.
constexpr const char* kCommon = R"(
clock() {
    read -r up _ </proc/uptime
    now=$(( ${up%.*} * 1000 + 1${up#*.} * 10 - 1000 ))
}

pause() {
    clock
    left=$(( start + due - now ))
    [ "$left" -gt 0 ] || return 0
    ms=$(( left % 1000 + 1000 ))
    sleep "$(( left / 1000 )).${ms#1}" &
    sleeper=$!
    wait "$sleeper"
}

# Played once, the last phase holds until the script is stopped.
hold() {
    while :; do
        due=$(( due + 86400000 ))
        pause || return 1
    done
}

# In the background, so that the script handles a signal at once rather
# than after a sleep as long as a phase; stopped, a player takes its sleep
# with it.
player() {
    (
        sleeper=
        trap 'kill $sleeper 2>/dev/null; exit 0' TERM
        "$1" || { echo "$0: playing the schedule on $dev failed" >&2; kill -USR1 $$; }
    ) &
    players="$players $!"
}
)";

ShapingLayout layoutOf(const ScopedPlan& throttle, const ShapingPlan& plan) {
    ScopedPlan scoped = throttle;
    scoped.plan = plan;
    return {{scoped}};
}

std::vector<TrafficControlStep> changes(const ScopedPlan& throttle, const ShapingPlan& before,
                                        const ShapingPlan& after) {
    return TrafficControlSteps::change("@interface@", "@ifb@", "@frame@",
                                       layoutOf(throttle, before), layoutOf(throttle, after));
}

std::string lines(const std::vector<TrafficControlStep>& steps, const std::string& indent) {
    std::string text;
    for (const TrafficControlStep& step : steps) {
        text += indent + commandLine(step) + " || return 1\n";
    }
    return text.empty() ? indent + ":\n" : text;
}

std::string secondsText(std::int64_t ms) {
    return formatShortestDecimal(static_cast<double>(ms) / 1000.0) + " s";
}

// What the helper shapes in phase `index`: taken from the schedule's own
// position, so that an outage is what the helper makes of it.
ShapingPlan phasePlan(const ThrottleSchedule& schedule, std::size_t index,
                      const ThrottleParameters& base) {
    std::int64_t startMs = 0;
    for (std::size_t i = 0; i < index; ++i) {
        startMs += schedule.phases[i].durationMs;
    }
    const ThrottleSchedule::Position position = schedule.at(startMs, base);
    return ShapingPlan::from(position.parameters.inSteps())
        .blocking(position.blocksDownload, position.blocksUpload);
}

ScheduleScript::Playing phases(const ThrottleParameters& base, const ThrottleSchedule& schedule,
                               const ScopedPlan& throttle) {
    const std::vector<SchedulePhase>& phases = schedule.phases;
    const auto plan = [&](std::size_t index) { return phasePlan(schedule, index, base); };
    // One phase repeated changes nothing: it holds.
    const bool repeat = schedule.repeat && phases.size() > 1;
    ScheduleScript::Playing playing{plan(0), {}, kCommon};
    std::vector<std::string> names;
    for (const SchedulePhase& phase : phases) {
        names.push_back(secondsText(phase.durationMs) + " " +
                        (phase.outage ? std::string("outage") : ScriptWords::oneLine(phase.name)));
    }
    playing.summary = "#\n# Plays " + std::to_string(phases.size()) + " phases, " +
                      (repeat ? "repeating" : "once, the last holding") + ": " +
                      ScriptWords::joined(names) + ".\n";
    std::string play = "play_phases() {\n    due=0\n";
    const std::string indent = repeat ? "        " : "    ";
    if (repeat) {
        play += "    while :; do\n";
    }
    for (std::size_t i = 1; i <= phases.size(); ++i) {
        const std::size_t next = i % phases.size();
        if (next == 0 && !repeat) {
            break;
        }
        const std::string name = "phase_" + std::to_string(next + 1);
        playing.functions += "\n# Phase " + std::to_string(next + 1) + " (" +
                             ScriptWords::oneLine(phases[next].name) + ")\n" + name + "() {\n" +
                             lines(changes(throttle, plan(i - 1), plan(next)), "    ") + "}\n";
        play += indent + "due=$(( due + " + std::to_string(phases[i - 1].durationMs) + " ))\n" +
                indent + "pause && " + name + " || return 1\n";
    }
    play += repeat ? "    done\n}\n" : "    hold\n}\n";
    playing.functions += "\n" + play + "\nplay() {\n    player play_phases\n}\n";
    return playing;
}

// A trace's step for one direction: the throttle's conditions at the
// step's rate. A step in which the recorded link delivered nothing lets
// nothing through; a rate of zero would mean no limit at all.
DirectionShaping stepShaping(DirectionShaping shaping, std::int64_t bytesPerSecond) {
    shaping.bandwidthBytesPerSecond = bytesPerSecond;
    if (bytesPerSecond == 0) {
        shaping.packetLossPercent = 100.0;
        shaping.lossCorrelationPercent = 0.0;
    }
    return shaping;
}

void append(std::string& text, std::int64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end);
}

std::int64_t netemLimit(const DirectionShaping& shaping) {
    const std::vector<std::string> words = netemArguments(shaping);
    return std::stoll(*(std::find(words.begin(), words.end(), "limit") + 1));
}

// One direction's player: its steps as runs of one rate ("steps limit bit/s"
// a line, 0 for nothing delivered), read in a loop, and the two netem
// changes they fill in; everything else about the change is the step's of
// the helper. A day of 100 ms steps stays a few megabytes.
std::string tracePlayer(const std::string& name, const std::vector<std::int64_t>& rates,
                        std::int64_t stepMs, const ScopedPlan& throttle, const ShapingPlan& first,
                        DirectionShaping ShapingPlan::*side) {
    const auto planAt = [&](std::int64_t rate) {
        ShapingPlan plan = first;
        plan.*side = stepShaping(first.*side, rate);
        return plan;
    };
    const auto positive = std::find_if(rates.begin(), rates.end(), [](auto r) { return r > 0; });
    const std::int64_t sample = positive != rates.end() ? *positive : 1;
    std::vector<TrafficControlStep> limited = changes(throttle, planAt(0), planAt(sample));
    for (TrafficControlStep& step : limited) {
        for (auto word = step.arguments.begin(); word + 1 < step.arguments.end(); ++word) {
            if (*word == "limit" || *word == "rate") {
                *(word + 1) = "@" + *word + "@";
            }
        }
    }
    std::string text = "\nplay_" + name + "() {\n    due=0\n    first=1\n    while :; do\n" +
                       "        while read -r steps limit rate; do\n"
                       "            if [ \"$first\" = 1 ]; then\n"
                       "                first=0\n"
                       "            elif [ \"$rate\" = 0 ]; then\n" +
                       lines(changes(throttle, planAt(sample), planAt(0)), "                ") +
                       "            else\n" + lines(limited, "                ") +
                       "            fi\n"
                       "            due=$(( due + steps * " +
                       std::to_string(stepMs) +
                       " ))\n"
                       "            pause || return 1\n"
                       "        done <<'STEPS'\n";
    text.reserve(text.size() + rates.size() * 16);
    std::map<std::int64_t, std::int64_t> limits;
    for (std::size_t i = 0; i < rates.size();) {
        std::size_t end = i + 1;
        while (end < rates.size() && rates[end] == rates[i]) {
            ++end;
        }
        append(text, static_cast<std::int64_t>(end - i));
        if (rates[i] == 0) {
            text += " 0 0\n";
        } else {
            auto limit = limits.find(rates[i]);
            if (limit == limits.end()) {
                limit =
                    limits.emplace(rates[i], netemLimit(stepShaping(first.*side, rates[i]))).first;
            }
            text += ' ';
            append(text, limit->second);
            text += ' ';
            append(text, rates[i] * 8);
            text += '\n';
        }
        i = end;
    }
    return text + "STEPS\n    done\n}\n";
}

bool varies(const std::vector<std::int64_t>& rates) {
    return std::adjacent_find(rates.begin(), rates.end(), std::not_equal_to<>()) != rates.end();
}

ScheduleScript::Playing trace(const ThrottleParameters& base, const CapacityTrace& trace,
                              const ScopedPlan& throttle) {
    ShapingPlan first = ShapingPlan::from(base.inSteps());
    if (!trace.downloadBytesPerSecond.empty()) {
        first.download = stepShaping(first.download, trace.downloadBytesPerSecond.front());
    }
    if (!trace.uploadBytesPerSecond.empty()) {
        first.upload = stepShaping(first.upload, trace.uploadBytesPerSecond.front());
    }
    ScheduleScript::Playing playing{first, {}, kCommon};
    playing.summary = "#\n# Plays a recorded link's capacity in steps of " +
                      secondsText(trace.stepMs) +
                      ", each direction looping at its own end;\n"
                      "# the other conditions hold throughout.\n";
    std::string play = "\nplay() {\n";
    // A direction whose rate never changes needs no player.
    for (const auto& [name, rates, side] :
         {std::tuple{"download", &trace.downloadBytesPerSecond, &ShapingPlan::download},
          std::tuple{"upload", &trace.uploadBytesPerSecond, &ShapingPlan::upload}}) {
        if (varies(*rates)) {
            playing.functions += tracePlayer(name, *rates, trace.stepMs, throttle, first, side);
            play += std::string("    player play_") + name + "\n";
        }
    }
    playing.functions += play + "    :\n}\n";
    return playing;
}

} // namespace

namespace ScheduleScript {

Playing of(const ThrottleParameters& base, const ThrottleSchedule& schedule,
           const ScopedPlan& throttle) {
    return schedule.phases.empty() ? trace(base, schedule.trace, throttle)
                                   : phases(base, schedule, throttle);
}

} // namespace ScheduleScript
