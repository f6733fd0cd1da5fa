"""The end-to-end bench: runs the real launcher under Wine on a virtual display
and drives it the way a person would.

Each scenario gets a fresh copy of a Wine prefix that is prepared once per
build, its own Xvfb display, and the UI driver (uidriver.exe) that reads the
launcher's window and presses its buttons. Every wait is on something that can
be observed (a window appears, a control changes, a process ends), with a
generous limit; none is a fixed sleep.
"""

import contextlib
import fcntl
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
WIN_BUILD = Path(os.environ.get("LAUNCHER_WIN_BUILD_DIR", REPO / "build" / "win"))
HOST_BUILD = Path(os.environ.get("LAUNCHER_HOST_BUILD_DIR", REPO / "build" / "host"))
E2E_DIR = Path(os.environ.get("LAUNCHER_E2E_DIR", REPO / "build" / "e2e"))
BENCH_BIN = WIN_BUILD / "bench"
SCREENSHOTS = E2E_DIR / "screenshots"
TEMPLATE = E2E_DIR / "prefix-template"

# Generous limits: a 2-core CI machine runs Wine slowly, and a wait ends as
# soon as its condition holds, so a large limit costs nothing when all is well.
WINDOW_TIMEOUT = 60
EXIT_TIMEOUT = 60

# Bumped when the settings applied to the template change, so that an old
# template is rebuilt.
TEMPLATE_SETTINGS_VERSION = "7"

# Wine draws the caption itself (there is no window manager on the bench), and
# fonts for Cyrillic and CJK text stand in for the Windows ones it links to.
TEMPLATE_REGISTRY = [
    (r"HKCU\Software\Wine\X11 Driver", "Decorated", "N"),
    # A crash ends the program instead of waiting behind Wine's crash dialog.
    (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", 0),
] + [
    (r"HKCU\Software\Wine\Fonts\Replacements", face, "WenQuanYi Micro Hei")
    for face in ("MS UI Gothic", "MS Gothic", "Meiryo", "SimSun", "Microsoft YaHei",
                 "PMingLiU", "Gulim", "Batang")
]

# The dialogs' font, "MS Shell Dlg", is Tahoma on Windows. Wine finds no
# Tahoma of its own in a prefix and falls back to a CJK font with full-width
# punctuation; Wine's Tahoma, copied in, runs wider than the Windows font and
# cuts off the longest button texts. Liberation Sans (Arial's widths) keeps
# them within their buttons, and links to the CJK font for Japanese.
WINDOWS_NT = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"
DIALOG_FONT_REGISTRY = [
    (WINDOWS_NT + r"\FontSubstitutes", "MS Shell Dlg", "REG_SZ", "Liberation Sans"),
    (WINDOWS_NT + r"\FontSubstitutes", "MS Shell Dlg 2", "REG_SZ", "Liberation Sans"),
] + [
    # Wine looks a bold face's links up under its full name (the caption's).
    (WINDOWS_NT + r"\FontLink\SystemLink", face, "REG_MULTI_SZ", "wqy-microhei.ttc,WenQuanYi Micro Hei")
    for face in ("Liberation Sans", "Liberation Sans Bold")
]

# Big read-only files of the prefix are hard-linked into each copy; Wine
# never writes them in place. Everything else (registry files, ini files) is
# copied, since Wine rewrites those.
SHARED_FOLDERS = ("drive_c/windows/system32", "drive_c/windows/syswow64", "drive_c/windows/winsxs",
                  "drive_c/windows/Fonts", "drive_c/windows/globalization")

# SW_SHOWMINNOACTIVE, as a shortcut set to "Run: Minimized" passes it.
SW_SHOWMINNOACTIVE = 7

# Control ids of the launcher's window.
IDC_PROGRESS = 1003
IDC_INSTALL = 1006
IDC_PLAY = 1007
IDC_UNINSTALL = 1008
IDC_README = 1009
IDC_EXIT = 1012
IDC_WEBSITE = 1013
IDC_LANGUAGE = 1014
IDC_CONTINUE = 1015
IDC_STATIC = -1


def log(message):
    print(f"[bench {time.strftime('%H:%M:%S')}] {message}", file=sys.stderr, flush=True)


def wait_until(condition, timeout, what):
    """Polls condition() until it returns something true; fails with `what`."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.05)


@contextlib.contextmanager
def file_lock(path):
    """Serializes work that two scenarios running in parallel must not share."""
    path.parent.mkdir(parents=True, exist_ok=True)
    with open(path, "w") as handle:
        fcntl.flock(handle, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(handle, fcntl.LOCK_UN)


def wine_version():
    return subprocess.run(["wine", "--version"], capture_output=True, text=True, check=True).stdout.strip()


def wine_environment(prefix, display=None, extra=None):
    env = dict(os.environ)
    env.update({"WINEPREFIX": str(prefix), "WINEDEBUG": "-all",
                # No Mono or Gecko installer prompts in a fresh prefix.
                "WINEDLLOVERRIDES": "mscoree,mshtml="})
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    if extra:
        env.update(extra)
    return env


# ---------------------------------------------------------------- Wine prefix

def prepare_prefix_template():
    """Returns the prefix every scenario starts from, building it when it is
    missing or was made by another Wine version (wineboot takes a while)."""
    stamp_text = f"{wine_version()} settings {TEMPLATE_SETTINGS_VERSION}"
    stamp = TEMPLATE / ".bench-stamp"
    with file_lock(E2E_DIR / "prefix-template.lock"):
        if stamp.exists() and stamp.read_text() == stamp_text:
            return TEMPLATE
        log(f"preparing the Wine prefix template ({stamp_text})")
        fresh = E2E_DIR / "prefix-template.new"
        shutil.rmtree(fresh, ignore_errors=True)
        env = wine_environment(fresh)
        subprocess.run(["wineboot", "-i"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for key, name, value in TEMPLATE_REGISTRY:
            kind = "REG_DWORD" if isinstance(value, int) else "REG_SZ"
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f"], env=env,
                           check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine draws the caption's close box with Marlett, which it only finds
        # in the prefix's own font folder.
        marlett = Path("/usr/share/wine/fonts/marlett.ttf")
        if marlett.exists():
            shutil.copy2(marlett, fresh / "drive_c" / "windows" / "Fonts" / "marlett.ttf")
        for key, name, kind, value in DIALOG_FONT_REGISTRY:
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"], env=env,
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, check=True)
        (fresh / ".bench-stamp").write_text(stamp_text)
        shutil.rmtree(TEMPLATE, ignore_errors=True)
        fresh.rename(TEMPLATE)
        return TEMPLATE


def copy_prefix(template, destination):
    def link_or_copy(source, target):
        relative = Path(source).relative_to(template).as_posix()
        if relative.startswith(SHARED_FOLDERS):
            os.link(source, target)
        else:
            shutil.copy2(source, target)
    shutil.copytree(template, destination, symlinks=True, copy_function=link_or_copy)


class Prefix:
    """A private copy of the template prefix, with its own wineserver."""

    def __init__(self, path, display):
        """Copies the template to path, or keeps the prefix already there."""
        self.path = Path(path)
        self.display = display
        if not (self.path / "system.reg").exists():
            copy_prefix(prepare_prefix_template(), self.path)

    def env(self, extra=None):
        return wine_environment(self.path, self.display, extra)

    def run(self, args, timeout=120, check=True, extra_env=None):
        """Runs a console program to its end. Its output goes through files,
        not pipes: the wineserver and the services Wine starts on the side
        inherit them and would keep a pipe open long after the program ended."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            completed = subprocess.run(["wine", *map(str, args)], env=self.env(extra_env), stdin=subprocess.DEVNULL,
                                       stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            completed.stdout = out.read().decode("utf-8", "replace")
            completed.stderr = err.read().decode("utf-8", "replace")
        if check and completed.returncode != 0:
            raise AssertionError(f"wine {' '.join(map(str, args))} failed with {completed.returncode}: "
                                 f"{completed.stdout[-2000:]}{completed.stderr[-2000:]}")
        return completed

    def reg_add(self, key, name, value, kind="REG_SZ"):
        """Writes a value as a 32-bit program sees it (HKLM\\Software lands in
        the Wow6432Node view on a 64-bit prefix)."""
        self.run(["reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f", "/reg:32"])

    def reg_delete_key(self, key):
        self.run(["reg", "delete", key, "/f", "/reg:32"], check=False)

    def shutdown(self):
        # Ends every process of this prefix only; other prefixes are untouched.
        env = self.env()
        subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# ------------------------------------------------------------ virtual display

class VirtualDisplay:
    """An Xvfb server on a free display number, for one scenario."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.name = f":{int(number)}"

    def capture(self):
        """The screen's pixels, raw."""
        return subprocess.run(["import", "-display", self.name, "-window", "root", "-depth", "8", "rgb:-"], check=True,
                              capture_output=True, timeout=60).stdout

    def screenshot(self, path, settle_timeout=10):
        """Saves the screen as a PNG once it has stopped changing: the
        launcher paints in the batches of its polling loop, and a picture
        taken in between shows half-drawn controls."""
        path.parent.mkdir(parents=True, exist_ok=True)
        pixels = self.capture()
        deadline = time.monotonic() + settle_timeout
        while time.monotonic() < deadline:
            time.sleep(0.2)  # two captures apart by two turns of the launcher's loop
            again = self.capture()
            if again == pixels:
                break
            pixels = again
        subprocess.run(["convert", "-size", "1024x768", "-depth", "8", "rgb:-", str(path)], input=pixels,
                       check=True, capture_output=True, timeout=60)
        if not path.exists():
            raise RuntimeError(f"no screenshot written to {path}")

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


# ------------------------------------------------------------ programs

class RunningProgram:
    """A Windows program started under Wine; its exit code is Wine's."""

    def __init__(self, prefix, args, cwd, extra_env=None, trace=None, trace_path=None):
        self.args = [str(a) for a in args]
        env = prefix.env(extra_env)
        # E2E_WINEDEBUG=+loaddll (for example) keeps Wine's trace of every
        # program started, under build/e2e/wine-logs/; a scenario can ask for
        # a trace of its own (trace channels and the file to write).
        log_file = subprocess.DEVNULL
        if trace:
            env["WINEDEBUG"] = trace
            log_file = open(trace_path, "wb")
        elif os.environ.get("E2E_WINEDEBUG"):
            env["WINEDEBUG"] = os.environ["E2E_WINEDEBUG"]
            logs = E2E_DIR / "wine-logs"
            logs.mkdir(parents=True, exist_ok=True)
            log_file = open(logs / f"{time.strftime('%H%M%S')}-{os.getpid()}-{Path(self.args[0]).stem}.log", "wb")
        self.process = subprocess.Popen(["wine", *self.args], cwd=str(cwd), env=env,
                                        stdout=subprocess.DEVNULL, stderr=log_file)
        if log_file is not subprocess.DEVNULL:
            log_file.close()

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=EXIT_TIMEOUT):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{self.args[0]} still running after {timeout} s") from None

    def stop(self):
        if self.running():
            self.process.kill()
            self.process.wait()


class DriverError(AssertionError):
    pass


class UiDriver:
    """uidriver.exe run in the scenario's prefix; keeps the last window report
    so that a failure can show what the window looked like."""

    def __init__(self, prefix, exe_name):
        self.prefix = prefix
        self.exe_name = exe_name
        self.last_window = None

    def run(self, *command, timeout=WINDOW_TIMEOUT, check=True):
        args = [BENCH_BIN / "uidriver.exe", "--exe", self.exe_name, "--timeout", str(int(timeout * 1000)),
                *command]
        completed = self.prefix.run(args, timeout=timeout + 60, check=False)
        lines = [line for line in completed.stdout.splitlines() if line.startswith("{")]
        if not lines:
            raise DriverError(f"uidriver {' '.join(map(str, command))} printed no report "
                              f"(exit {completed.returncode}): {completed.stderr[-2000:]}")
        report = json.loads(lines[-1])
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

    def key(self, name):
        self.run("key", name)

    def close_from_caption(self):
        self.run("close")

    def wait_gone(self, timeout=EXIT_TIMEOUT):
        self.run("wait-gone", timeout=timeout)

    def wait_control(self, control_id, field, value, timeout=WINDOW_TIMEOUT):
        if isinstance(value, bool):
            value = int(value)
        return self.run("wait-control", control_id, field, value, timeout=timeout)["window"]

    def wait_window(self, field, value, timeout=WINDOW_TIMEOUT):
        if isinstance(value, bool):
            value = int(value)
        return self.run("wait-window", field, value, timeout=timeout)["window"]

    def message_boxes(self):
        return self.run("message-boxes", check=False)["message_boxes"]

    def wait_message_box(self, timeout=WINDOW_TIMEOUT):
        return self.run("wait-message-box", timeout=timeout)["message_boxes"]

    def press_message_box_ok(self):
        self.run("message-box-ok")


def control(window, control_id):
    """The control with this id in a window report (the first, for -1)."""
    for entry in window["controls"]:
        if entry["id"] == control_id:
            return entry
    raise AssertionError(f"no control {control_id} in the window: {describe_window(window)}")


def run_json_tool(prefix, tool, *args):
    """Runs one of the bench's Win32 tools that print a JSON report as their
    last line ({"ok": ..., "error": ...}) and returns that report."""
    completed = prefix.run([BENCH_BIN / tool, *args], check=False)
    lines = [line for line in completed.stdout.splitlines() if line.startswith("{")]
    what = " ".join([tool, *map(str, args)])
    if not lines:
        raise AssertionError(f"{what} printed no report: {completed.stderr[-2000:]}")
    report = json.loads(lines[-1])
    if not report["ok"]:
        raise AssertionError(f"{what}: {report['error']}")
    return report


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


# ------------------------------------------------------------ products

def toml_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, (list, tuple)):
        return "[" + ", ".join(toml_value(item) for item in value) + "]"
    return json.dumps(str(value), ensure_ascii=False)


def write_product(product_dir, settings, files=None):
    """Writes product.toml from a dict, plus any files (path -> text or bytes)
    relative to the product folder."""
    product_dir = Path(product_dir)
    product_dir.mkdir(parents=True, exist_ok=True)
    lines = [f"{key} = {toml_value(value)}" for key, value in settings.items()]
    (product_dir / "product.toml").write_text("\n".join(lines) + "\n", encoding="utf-8")
    for relative, content in (files or {}).items():
        path = product_dir / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, bytes):
            path.write_bytes(content)
        else:
            path.write_text(content, encoding="utf-8")
    return product_dir


def build_product(work_dir, settings, files=None):
    """Builds a product made on the fly; returns the folder with its exes."""
    work_dir = Path(work_dir)
    product_dir = write_product(work_dir / "product", settings, files)
    out_dir = work_dir / "out"
    # The product build shares build/host and build/win: one at a time.
    with file_lock(E2E_DIR / "build-product.lock"):
        env = dict(os.environ, LAUNCHER_WIN_BUILD=str(WIN_BUILD), LAUNCHER_HOST_BUILD=str(HOST_BUILD))
        completed = subprocess.run([REPO / "scripts" / "build-product", product_dir, out_dir],
                                   capture_output=True, text=True, env=env)
    if completed.returncode != 0:
        raise RuntimeError(f"scripts/build-product failed:\n{completed.stdout[-3000:]}\n{completed.stderr[-3000:]}")
    return out_dir


def base_product(**overrides):
    """A small product with two languages and no payload (launcher mode)."""
    settings = {
        "language_ids": "2057;1033;",
        "registry_key": r"Software\Quillmark\Skyforge2",
        "instance_mutex": "3F2C8A1E-5B7D-4E90-A1C3-9D8E7F6A5B4C",
        "product_names": "Skyforge 2: Iron Vale;Skyforge 2: Iron Vale;",
        "package_name": "Skyforge2.msi",
        "game_exe": "Skyforge2.exe",
        "website_url": "https://www.example.com/skyforge2",
    }
    settings.update(overrides)
    return settings


# ------------------------------------------------------------ scenarios

class Scenario(unittest.TestCase):
    """Base of every scenario: a temp folder, a display and a prefix of its
    own, all torn down afterwards. A failing scenario prints the last window
    report the driver saw."""

    exe_name = "Autorun.exe"

    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="e2e-", dir=os.environ.get("TMPDIR")))
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.display = VirtualDisplay()
        self.addCleanup(self.display.close)
        self.prefix = Prefix(self.work / "prefix", self.display.name)
        self.addCleanup(self.prefix.shutdown)
        self.driver = UiDriver(self.prefix, self.exe_name)
        self.programs = []
        self.screenshot_taken = False
        self.addCleanup(self._take_final_screenshot)

    def run(self, result=None):
        result = result if result is not None else self.defaultTestResult()
        problems_before = len(result.failures) + len(result.errors)
        super().run(result)
        if len(result.failures) + len(result.errors) > problems_before:
            log(f"last window seen by the driver in {self.id()}:\n{describe_window(self.driver_window())}")
        return result

    def driver_window(self):
        driver = getattr(self, "driver", None)
        return driver.last_window if driver else None

    def scenario_name(self):
        return self.id().split(".", 1)[-1].replace(".", "-")

    def screenshot(self, suffix=""):
        """Saves what is on the screen as build/e2e/screenshots/<scenario>.png."""
        name = self.scenario_name() + (f"-{suffix}" if suffix else "")
        path = SCREENSHOTS / f"{name}.png"
        self.display.screenshot(path)
        self.screenshot_taken = True
        return path

    def _take_final_screenshot(self):
        if not self.screenshot_taken:
            with contextlib.suppress(Exception):
                self.screenshot()

    def start(self, exe, cwd=None, args=(), extra_env=None, trace=None, trace_path=None):
        exe = Path(exe)
        program = RunningProgram(self.prefix, [exe, *args], cwd or exe.parent, extra_env, trace, trace_path)
        self.programs.append(program)
        self.addCleanup(program.stop)
        return program

    def start_minimized(self, exe, cwd=None):
        """Starts exe with a minimized show command, through starter.exe."""
        exe = Path(exe)
        return self.start(BENCH_BIN / "starter.exe", cwd or exe.parent,
                          args=[str(SW_SHOWMINNOACTIVE), self.windows_path(exe)])

    def windows_path(self, path):
        """The Windows name of a host path (drive Z: maps the root)."""
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def assertExitCode(self, program, expected, timeout=EXIT_TIMEOUT):
        code = program.wait_exit(timeout)
        self.assertEqual(code, expected, f"{program.args[0]} ended with exit code {code}")


def require_bench_programs():
    missing = [name for name in ("uidriver.exe", "starter.exe", "canary.dll", "recorder.exe")
               if not (BENCH_BIN / name).exists()]
    if missing:
        raise unittest.SkipTest(f"bench programs missing in {BENCH_BIN}: {missing}; build the Windows build first")


class ProductScenario(Scenario):
    """A scenario class whose tests share one product, built once for the
    class from `product_settings` and `product_files`."""

    product_settings = None
    product_files = None

    @classmethod
    def setUpClass(cls):
        require_bench_programs()
        cls.product_work = Path(tempfile.mkdtemp(prefix="e2e-product-", dir=os.environ.get("TMPDIR")))
        cls.addClassCleanup(shutil.rmtree, cls.product_work, ignore_errors=True)
        cls.product_out = build_product(cls.product_work, cls.product_settings or base_product(),
                                        cls.product_files)

    @property
    def exe(self):
        return self.product_out / self.exe_name

    def open_launcher(self, **kwargs):
        """Starts the product's exe and waits until its window is up."""
        program = self.start(self.exe, **kwargs)
        window = self.driver.dump()
        return program, window


def installer_product(**overrides):
    """base_product with a payload: the exes include Installer.exe."""
    settings = base_product(payload="payload")
    settings.update(overrides)
    return settings


INSTALLER_FILES = {"payload/Skyforge2.msi": b"not a real package; these scenarios never install it\n"}
