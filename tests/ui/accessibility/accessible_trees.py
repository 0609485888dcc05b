#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""What a screen reader finds in the panel, its list of applications and the
profile editor.

Starts a private session bus, the accessibility bus on it (at-spi2-core's
launcher, which starts the registry), an X server and the views' program,
then walks the program's accessible trees over AT-SPI as a screen reader
would. Every wait has a deadline; everything started here is stopped by its
process group.

usage: accessible_trees.py PATH-TO-AccessibleViews
"""
import os
import selectors
import signal
import subprocess
import sys
import tempfile
import time

DEADLINE_S = 15


def eventually(condition, seconds=DEADLINE_S):
    deadline = time.monotonic() + seconds
    while True:
        result = condition()
        if result or time.monotonic() > deadline:
            return result
        time.sleep(0.05)


def wait_for(condition, what):
    result = eventually(condition)
    if not result:
        raise SystemExit(f"timed out waiting for {what}")
    return result


class Desktop:
    """The buses, the display and the program, stopped in reverse order."""

    def __init__(self, program):
        self.processes = []
        self.folder = tempfile.TemporaryDirectory(prefix="veltrane-a11y-")
        env = {k: v for k, v in os.environ.items()
               if k not in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "DISPLAY")}
        env["XDG_RUNTIME_DIR"] = self.folder.name
        env["DBUS_SESSION_BUS_ADDRESS"] = self.first_line(
            ["/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1",
             f"--address=unix:dir={self.folder.name}"], env)
        env["DISPLAY"] = ":" + self.first_line(
            ["/usr/bin/Xvfb", "-displayfd", "1", "-nolisten", "tcp"], env)
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env,
                   stdout=subprocess.DEVNULL)
        wait_for(lambda: subprocess.run(
            ["/usr/bin/dbus-send", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=env, capture_output=True, timeout=DEADLINE_S
        ).returncode == 0, "the accessibility bus")
        env.update(QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        if self.first_line([program], env, stdin=subprocess.PIPE) != "ready":
            raise SystemExit("the views' program did not start")
        self.env = env

    def start(self, argv, env, **kwargs):
        process = subprocess.Popen(argv, env=env, start_new_session=True,
                                   stderr=subprocess.DEVNULL, **kwargs)
        self.processes.append(process)
        return process

    def first_line(self, argv, env, **kwargs):
        process = self.start(argv, env, stdout=subprocess.PIPE, text=True, **kwargs)
        with selectors.DefaultSelector() as chooser:
            chooser.register(process.stdout, selectors.EVENT_READ)
            if not chooser.select(DEADLINE_S):
                raise SystemExit(f"{argv[0]} printed nothing within {DEADLINE_S} s")
        return process.stdout.readline().strip()

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGTERM)
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    os.killpg(process.pid, signal.SIGKILL)
                    process.wait()
        self.folder.cleanup()


def walk(node):
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield child
            yield from walk(child)


def check(env):
    # The client library finds the accessibility bus when it is first imported.
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = env["DBUS_SESSION_BUS_ADDRESS"]
    import pyatspi

    def windows():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
            if app is not None and app.name == "veltrane-accessible-views":
                found = {w.name: list(walk(w)) for w in walk(app)
                         if w.getRole() == pyatspi.ROLE_FRAME}
                return found if len(found) == 3 else None
        return None

    def showing(node, state=pyatspi.STATE_SHOWING):
        return node.getState().contains(state)

    trees = wait_for(windows, "the panels and the editor on the accessibility bus")
    controls = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
                pyatspi.ROLE_SLIDER, pyatspi.ROLE_TEXT, pyatspi.ROLE_COMBO_BOX}
    failures = []
    for title, nodes in trees.items():
        for node in nodes:
            if node.getRole() in controls and showing(node):
                what = f"{title}: {node.getRoleName()} {node.name!r}"
                if not node.name.strip():
                    failures.append(f"{what} has no name")
                if not showing(node, pyatspi.STATE_FOCUSABLE):
                    failures.append(f"{what} cannot take the focus")

    def find(title, role, name):
        return next((n for n in trees.get(title, []) if n.getRole() == role and n.name == name),
                    None)

    switch = find("Veltrane", pyatspi.ROLE_CHECK_BOX, "Throttling")
    if not switch or not showing(switch, pyatspi.STATE_CHECKED):
        failures.append("the panel reads no checked switch \"Throttling\"")
    row = find("Veltrane", pyatspi.ROLE_RADIO_BUTTON, "Hotel Wi-Fi")
    if not row or not showing(row, pyatspi.STATE_CHECKED) or "2 Mbps" not in row.description:
        failures.append("the selected profile row reads without its state or its summary")
    if not find("Applications", pyatspi.ROLE_TEXT, "Search running applications") \
            or not find("Applications", pyatspi.ROLE_LIST_ITEM, "Slack"):
        failures.append("the list of applications reads without its search or its rows")
    if not find("Profile Editor", pyatspi.ROLE_CHECK_BOX, "Download Limit") \
            or not find("Profile Editor", pyatspi.ROLE_TEXT, "Download limit"):
        failures.append("the editor's download switch or field has no name")
    if not find("Profile Editor", pyatspi.ROLE_PUSH_BUTTON, "Applies to Only an application") \
            or not find("Profile Editor", pyatspi.ROLE_TEXT, "Search applications"):
        failures.append("the editor's choice of what the profile applies to has no name")
    chosen = find("Profile Editor", pyatspi.ROLE_RADIO_BUTTON, "Slack")
    other = find("Profile Editor", pyatspi.ROLE_RADIO_BUTTON, "Firefox")
    if not chosen or not showing(chosen, pyatspi.STATE_CHECKED) \
            or chosen.description != "com.slack.Slack" \
            or not other or showing(other, pyatspi.STATE_CHECKED):
        failures.append("the editor's applications read without which one is chosen")
    alert = find("Profile Editor", pyatspi.ROLE_ALERT, "Delete Profile?")
    cancel = next((n for n in walk(alert) if n.name == "Cancel"), None) if alert else None
    if not alert or alert.description != "This action cannot be undone.":
        failures.append("the delete confirmation does not read as an alert with its message")
    # The window's activation may still be on its way.
    if not cancel or not eventually(lambda: showing(cancel, pyatspi.STATE_FOCUSED), 3):
        failures.append("the delete confirmation's Cancel does not have the focus")
    return failures


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    desktop = Desktop(sys.argv[1])
    try:
        failures = check(desktop.env)
    finally:
        desktop.stop()
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
