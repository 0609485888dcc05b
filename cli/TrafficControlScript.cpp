// SPDX-License-Identifier: MIT
#include "TrafficControlScript.h"

#include "ScheduleScript.h"
#include "ScriptWords.h"
#include "TrafficControlSteps.h"

namespace {

using ScriptWords::commandLine;
using ScriptWords::joined;
using ScriptWords::oneLine;

std::string addresses(const ThrottleScope& scope) {
    std::vector<std::string> texts;
    for (const Destination& destination : scope.destinations) {
        texts.push_back(destination.text());
    }
    return joined(texts);
}

constexpr const char* kPreamble = R"(set -u

usage() {
    echo "usage: $0 INTERFACE [apply|remove]" >&2
    exit 2
}
[ $# -ge 1 ] && [ $# -le 2 ] || usage
dev=$1
action=${2:-apply}
# From ip, not /sys: in a namespace entered without a sysfs of its own, /sys
# shows another namespace's interfaces.
link=$(ip -o link show dev "$dev" 2>/dev/null) ||
    { echo "$0: there is no interface '$dev'" >&2; exit 1; }

# The download goes through an IFB device named as Veltrane names it: the
# interface's name, or its FNV-1a hash when that would be too long.
if [ ${#dev} -le 9 ]; then
    ifb="vtifb-$dev"
else
    h=2166136261
    for c in $(printf '%s' "$dev" | od -An -tu1); do
        h=$(( ((h ^ c) * 16777619) & 4294967295 ))
    done
    ifb=$(printf 'vtifb-%08x' "$h")
fi
# The largest frame of the interface: its MTU and a link-layer header.
mtu=$(printf '%s\n' "$link" | sed -n 's/.* mtu \([0-9][0-9]*\).*/\1/p')
frame=$(( ${mtu:-1500} + 64 ))

)";

constexpr const char* kApply = R"(
case $action in
apply)
    # Another program's root, ingress or clsact qdisc is left alone.
    if tc qdisc show dev "$dev" | awk '$1 == "qdisc" && (($4 == "root" && $3 != "0:") ||
            $2 == "ingress" || $2 == "clsact") { found = 1 } END { exit !found }'; then
        echo "$0: $dev carries another program's qdisc; run '$0 $dev remove' if it is ours" >&2
        exit 1
    fi
    # A step that fails takes the earlier ones back: never half-shaped.
    if ! apply; then
        remove 2>/dev/null
        echo "$0: shaping $dev failed" >&2
        exit 1
    fi
)";

// From here the shaping lasts as long as the script: stopped (Ctrl-C, kill,
// a closed terminal) or a step failing, it takes everything away.
constexpr const char* kPlay = R"(    players=
    trap 'stop $?' EXIT
    trap 'stop 130' INT
    trap 'stop 143' TERM
    trap 'stop 129' HUP
    trap 'stop 1' USR1
    clock
    start=$now
    play
    echo "$0: shaping $dev as the schedule plays; stop it (Ctrl-C) to remove the shaping" >&2
    wait
    stop 1
)";

constexpr const char* kOtherActions = R"(    ;;
remove) remove ;;
*) usage ;;
esac
)";

// Players first, so that no change runs after the shaping is gone.
constexpr const char* kStop = R"(
stop() {
    trap '' INT TERM HUP USR1
    trap - EXIT
    [ -z "$players" ] || kill $players 2>/dev/null
    wait
    remove 2>/dev/null
    exit "$1"
}
)";

} // namespace

namespace TrafficControlScript {

std::string write(const ThrottleParameters& parameters, const std::string& title,
                  const ThrottleScope& scope, const ThrottleSchedule& schedule) {
    // The slot the helper gives its first scoped throttle.
    ScopedPlan throttle{scope.isMachine() ? ScopedPlan::kMachineSlot : ScopedPlan::kMachineSlot + 1,
                        scope.isMachine() ? ThrottleScope{} : scope,
                        ShapingPlan::from(parameters.inSteps())};
    std::optional<ScheduleScript::Playing> playing;
    if (!schedule.empty()) {
        playing = ScheduleScript::of(parameters, schedule, throttle);
        throttle.plan = playing->first;
    }
    const ShapingLayout layout{{throttle}};
    const std::vector<TrafficControlStep> steps =
        TrafficControlSteps::shaping("@interface@", "@ifb@", "@frame@", layout);
    std::string script = "#!/bin/sh\n"
                         "# " +
                         oneLine(title) +
                         "\n"
                         "#\n"
                         "# Usage, as root: sh SCRIPT INTERFACE [apply|remove]\n"
                         "#   apply (the default) shapes TCP and UDP on INTERFACE as Veltrane\n"
                         "#   shapes an uplink: upload through netem under an HTB root, download\n"
                         "#   redirected to an IFB device with netem; remove takes it all away.\n"
                         "# Needs tc and ip (iproute2) and the kernel's sch_htb, sch_ingress,\n"
                         "# sch_tbf, sch_netem, act_mirred, act_skbedit, cls_u32 and ifb.\n";
    if (playing) {
        script += playing->summary +
                  "# apply then stays in the foreground while the schedule plays, changing\n"
                  "# the shaping in place; stopping it (Ctrl-C) removes everything. Needs a\n"
                  "# sleep that takes fractions of a second (GNU coreutils, busybox).\n";
    }
    if (!scope.isMachine()) {
        const std::string names = scope.names.empty() ? addresses(scope) : joined(scope.names);
        script += "#\n# Only the traffic to and from " + oneLine(names) +
                  "\n# (when written: " + oneLine(addresses(scope)) +
                  "); all other traffic passes untouched.\n";
    }
    script += kPreamble;
    script += "apply() {\n";
    std::vector<TrafficControlStep> undo;
    for (const TrafficControlStep& step : steps) {
        script += "    " + commandLine(step) + " || return 1\n";
        if (step.entry) {
            undo.insert(undo.begin(), *TrafficControlSteps::undo(*step.entry));
        }
    }
    script += "}\n\n";
    // Newest first, each on its own: what is gone already is no failure.
    script += "remove() {\n";
    for (const TrafficControlStep& step : undo) {
        script += "    " + commandLine(step) + " 2>/dev/null\n";
    }
    script += "    return 0\n}\n";
    if (!playing) {
        return script + kApply + kOtherActions;
    }
    return script + kStop + playing->functions + kApply + kPlay + kOtherActions;
}

} // namespace TrafficControlScript
