"""The bench's hands and eyes: uidriver.exe, run in a scenario's prefix,
reads the launcher's window and drives it; the control ids come from the
program's own resource header."""

import json
import re

import wine_host
from wine_prefix import EXIT_TIMEOUT, WINDOW_TIMEOUT, wait_until, windows_path


def _resource_ids():
    """Every #define NAME number of resources/resource_ids.h."""
    text = (wine_host.REPO / "resources" / "resource_ids.h").read_text()
    return {name: int(value) for name, value in re.findall(r"#define\s+(ID\w+)\s+\(?(-?\d+)\)?", text)}


IDS = _resource_ids()
IDC_PROGRESS = IDS["IDC_PROGRESS"]
IDC_INSTALL = IDS["IDC_INSTALL"]
IDC_PLAY = IDS["IDC_PLAY"]
IDC_UNINSTALL = IDS["IDC_UNINSTALL"]
IDC_README = IDS["IDC_README"]
IDC_EXIT = IDS["IDC_EXIT"]
IDC_WEBSITE = IDS["IDC_WEBSITE"]
IDC_LANGUAGE = IDS["IDC_LANGUAGE"]
IDC_CONTINUE = IDS["IDC_CONTINUE"]
IDC_STATIC = IDS["IDC_STATIC_LABEL"]


def last_report(output):
    """The last JSON line a bench tool printed, or None."""
    lines = [line for line in output.splitlines() if line.startswith("{")]
    return json.loads(lines[-1]) if lines else None


def run_json_tool(prefix, program, *args, timeout=120):
    """Runs one of the bench's Win32 tools that print a JSON report as their
    last line ({"ok": ..., "error": ...}) and returns that report."""
    completed = prefix.run([program, *args], timeout=timeout, check=False)
    what = " ".join([program.name, *map(str, args)])
    report = last_report(completed.stdout)
    if report is None:
        raise AssertionError(f"{what} printed no report: {completed.stderr[-2000:]}")
    if not report["ok"]:
        raise AssertionError(f"{what}: {report['error']}")
    return report


class DriverError(AssertionError):
    pass


class UiDriver:
    """uidriver.exe run in the scenario's prefix; keeps the last window report
    so that a failure can show what the window looked like."""

    def __init__(self, prefix, exe_name, bench_bin):
        self.prefix = prefix
        self.exe_name = exe_name
        self.program = bench_bin / "uidriver.exe"
        self.last_window = None

    def run(self, *command, timeout=WINDOW_TIMEOUT, check=True):
        command = [int(word) if isinstance(word, bool) else word for word in command]
        args = [self.program, "--exe", self.exe_name, "--timeout", str(int(timeout * 1000)), *command]
        completed = self.prefix.run(args, timeout=timeout + 60, check=False)
        report = last_report(completed.stdout)
        if report is None:
            raise DriverError(f"uidriver {' '.join(map(str, command))} printed no report "
                              f"(exit {completed.returncode:#x}): {completed.stdout[-1000:]}{completed.stderr[-2000:]}")
        if report.get("window"):
            self.last_window = report["window"]
        if check and not report.get("ok"):
            raise DriverError(f"uidriver {' '.join(map(str, command))}: {report.get('error')}")
        return report

    def dump(self, timeout=WINDOW_TIMEOUT):
        """Waits until the launcher's window is up and its loop answers."""
        return self.run("dump", timeout=timeout)["window"]

    def click(self, control_id):
        self.run("click", control_id)

    def mouse_click(self, control_id):
        self.run("mouse-click", control_id)

    def select(self, control_id, index):
        self.run("select", control_id, index)

    def mouse_choose(self, control_id, index):
        """Clicks entry `index` of the combo box's dropped-down list."""
        self.run("mouse-choose", control_id, index)

    def key(self, name):
        self.run("key", name)

    def close_from_caption(self):
        self.run("close")

    def wait_gone(self, timeout=EXIT_TIMEOUT):
        self.run("wait-gone", timeout=timeout)

    def wait_control(self, control_id, field, value, timeout=WINDOW_TIMEOUT):
        return self.run("wait-control", control_id, field, value, timeout=timeout)["window"]

    def wait_window(self, field, value, timeout=WINDOW_TIMEOUT):
        return self.run("wait-window", field, value, timeout=timeout)["window"]

    def message_boxes(self):
        return self.run("message-boxes", check=False)["message_boxes"]

    def wait_message_box(self, timeout=WINDOW_TIMEOUT):
        return self.run("wait-message-box", timeout=timeout)["message_boxes"]

    def wait_complete_message_box(self, text=None, timeout=WINDOW_TIMEOUT):
        """Waits for a message box whose caption and buttons are filled in
        (with exactly `text`, when given) and returns it."""
        def complete_box():
            return next((box for box in self.message_boxes()
                         if box["title"] and box["buttons"] and (text is None or box["text"] == text)), None)
        what = f"a message box of {self.exe_name}" + (f" saying {text!r}" if text else "")
        return wait_until(complete_box, timeout, what)

    def press_message_box_ok(self):
        self.run("message-box-ok")

    def accessible_names(self):
        """What a screen reader finds for each control, in creation order:
        its id, class, accessible name (None when it has none) and role."""
        return self.run("accessible")["controls"]

    def text_fit(self, exe):
        """Each text of the window with the size it needs and the size its
        control gives it, measured with the window's own font (exe: the
        program's host path)."""
        return self.run("text-fit", windows_path(exe))["controls"]


def control(window, control_id):
    """The control with this id in a window report (the first, for -1)."""
    for entry in window["controls"]:
        if entry["id"] == control_id:
            return entry
    raise AssertionError(f"no control {control_id} in the window: {describe_window(window)}")


def describe_window(window):
    """A window report as a person would read it, for failure messages."""
    if not window:
        return "(no window)"
    flags = [name for name in ("visible", "iconic", "foreground") if window.get(name)]
    if window.get("responding") is False:
        flags.append("NOT RESPONDING")
    lines = [f"window {window['title']!r} [{', '.join(flags)}] focus={window['focus_id']}"]
    for entry in window["controls"]:
        state = "enabled" if entry["enabled"] else "disabled"
        if not entry["visible"]:
            state += ", hidden"
        if entry["focused"]:
            state += ", FOCUS"
        extra = ""
        if "items" in entry:
            extra = f" items={entry['items']} selection={entry['selection']}"
        if "position" in entry:
            extra = f" range={entry['range_low']}..{entry['range_high']} position={entry['position']}"
        text = entry["text"]
        if text.startswith("\uffff") and len(text) == 2:
            text = f"<resource {ord(text[1])}>"  # a picture control names its bitmap by number
        else:
            text = repr(text)
        lines.append(f"  {entry['id']:>5} {entry['class']:<18} {text} ({state}){extra}")
    return "\n".join(lines)
