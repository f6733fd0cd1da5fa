"""The end-to-end bench: runs the real launcher under Wine on a virtual display
and drives it the way a person would.

Each scenario gets a fresh copy of a Wine prefix that is prepared once per
build, its own Xvfb display, and the UI driver (uidriver.exe) that reads the
launcher's window and presses its buttons. Every wait is on something that can
be observed (a window appears, a control changes, a process ends), with a
generous limit; none is a fixed sleep.
"""

import contextlib
import os
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import products
import uidriver
import wine_host
from products import INSTALLER_FILES, base_product, installer_product, write_product
from uidriver import (IDC_CONTINUE, IDC_EXIT, IDC_INSTALL, IDC_LANGUAGE, IDC_PLAY, IDC_PROGRESS, IDC_README,
                      IDC_STATIC, IDC_UNINSTALL, IDC_WEBSITE, control, describe_window)
from wine_prefix import (E2E_DIR, EXIT_TIMEOUT, WINDOW_TIMEOUT, Prefix, RunningProgram, copy_prefix, file_lock, log,
                         new_prefix_folder, prepare_prefix_template, wait_until, windows_path)

# What the scenarios and bench/extraction-speed take from the other modules
# through this one.
__all__ = ["INSTALLER_FILES", "base_product", "installer_product", "write_product", "IDC_CONTINUE", "IDC_EXIT",
           "IDC_INSTALL", "IDC_LANGUAGE", "IDC_PLAY", "IDC_PROGRESS", "IDC_README", "IDC_STATIC", "IDC_UNINSTALL",
           "IDC_WEBSITE", "control", "describe_window", "E2E_DIR", "EXIT_TIMEOUT", "WINDOW_TIMEOUT", "Prefix",
           "RunningProgram", "copy_prefix", "file_lock", "log", "prepare_prefix_template", "wait_until",
           "windows_path"]

REPO = wine_host.REPO
# The architecture of the exes this run drives (the build folders follow it):
# ctest runs every scenario file once per architecture.
ARCH = os.environ.get("LAUNCHER_ARCH") or (wine_host.runnable_architectures() or wine_host.ARCHITECTURES)[0]
WIN_BUILD = wine_host.win_build(ARCH)
HOST_BUILD = Path(os.environ.get("LAUNCHER_HOST_BUILD_DIR", REPO / "build" / "host"))
BENCH_BIN = WIN_BUILD / "bench"
SCREENSHOTS = E2E_DIR / "screenshots" / ARCH

# SW_SHOWMINNOACTIVE, as a shortcut set to "Run: Minimized" passes it.
SW_SHOWMINNOACTIVE = 7

# Display scales as Wine takes them, from the user's LogPixels: 100, 125,
# 150 and 200 %. Wine lays every window out at that DPI.
DPIS = (96, 120, 144, 192)
# A screen large enough for the window at 200 %.
LARGE_SCREEN = (1920, 1080)


# ------------------------------------------------------------ virtual display

class VirtualDisplay:
    """An Xvfb server on a free display number, for one scenario."""

    def __init__(self, size=(1024, 768)):
        self.size = size
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{size[0]}x{size[1]}x24", "-nolisten", "tcp",
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
        subprocess.run(["convert", "-size", f"{self.size[0]}x{self.size[1]}", "-depth", "8", "rgb:-", str(path)],
                       input=pixels,
                       check=True, capture_output=True, timeout=60)
        if not path.exists():
            raise RuntimeError(f"no screenshot written to {path}")

    def press_keys(self, keys, pointer_at):
        """Types keys (xdotool names: Tab, Down, alt+Down, Return) on the
        display's keyboard. Without a window manager the keyboard goes to
        the window under the pointer, so the pointer rests at pointer_at
        (screen pixels) first."""
        env = dict(os.environ, DISPLAY=self.name)
        subprocess.run(["xdotool", "mousemove", str(pointer_at[0]), str(pointer_at[1])], env=env, check=True,
                       timeout=60)
        subprocess.run(["xdotool", "key", "--delay", "50", *keys], env=env, check=True, timeout=60)

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


# ------------------------------------------------------------ this run's tools

class UiDriver(uidriver.UiDriver):
    """The UI driver of this run's architecture."""

    def __init__(self, prefix, exe_name):
        super().__init__(prefix, exe_name, BENCH_BIN)


# ------------------------------------------------------------ scenarios

class Scenario(unittest.TestCase):
    """Base of every scenario: a temp folder, a display and a prefix of its
    own, all torn down afterwards. A failing scenario prints the last window
    report the driver saw."""

    exe_name = "Autorun.exe"
    # The display's DPI and size; at_scales() makes copies at the others.
    dpi = 96
    screen_size = (1024, 768)

    @classmethod
    def setUpClass(cls):
        require_architecture()

    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="e2e-", dir=os.environ.get("TMPDIR")))
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.display = VirtualDisplay(self.screen_size)
        self.addCleanup(self.display.close)
        prefix_folder = new_prefix_folder()
        self.addCleanup(shutil.rmtree, prefix_folder, ignore_errors=True)
        self.prefix = Prefix(prefix_folder / "prefix", self.display.name)
        self.addCleanup(self.prefix.shutdown)
        if self.dpi != 96:
            self.prefix.reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", self.dpi, kind="REG_DWORD")
        self.driver = UiDriver(self.prefix, self.exe_name)
        self.programs = []
        self.screenshot_taken = False
        self.addCleanup(self._take_final_screenshot)

    def run(self, result=None):
        result = result if result is not None else self.defaultTestResult()
        problems_before = len(result.failures) + len(result.errors)
        super().run(result)
        if len(result.failures) + len(result.errors) > problems_before:
            window = self.driver.last_window if hasattr(self, "driver") else None
            log(f"last window seen by the driver in {self.id()}:\n{describe_window(window)}")
            for program in getattr(self, "programs", []):
                log(program.describe())
        return result

    def scenario_name(self):
        return self.id().split(".", 1)[-1].replace(".", "-")

    def screenshot(self, suffix="", window=None):
        """Saves what is on the screen, cut down to `window` when given, as
        build/e2e/screenshots/<arch>/<scenario>[-suffix].png."""
        name = self.scenario_name() + (f"-{suffix}" if suffix else "")
        path = SCREENSHOTS / f"{name}.png"
        self.display.screenshot(path)
        self.screenshot_taken = True
        if window:
            rect = window["rect"]
            size = f"{rect['right'] - rect['left']}x{rect['bottom'] - rect['top']}+{rect['left']}+{rect['top']}"
            subprocess.run(["convert", str(path), "-crop", size, "+repage", str(path)], check=True, timeout=60)
        return path

    def _take_final_screenshot(self):
        if not self.screenshot_taken:
            with contextlib.suppress(Exception):
                self.screenshot()

    def start(self, exe, cwd=None, args=(), extra_env=None, trace=None, trace_path=None):
        exe = Path(exe)
        error_log = self.work / f"wine-errors-{len(self.programs)}-{exe.stem}.log"
        program = RunningProgram(self.prefix, [exe, *args], cwd or exe.parent, extra_env, trace, trace_path,
                                 error_log)
        self.programs.append(program)
        self.addCleanup(program.stop)
        return program

    def start_minimized(self, exe, cwd=None):
        """Starts exe with a minimized show command, through starter.exe."""
        exe = Path(exe)
        return self.start(BENCH_BIN / "starter.exe", cwd or exe.parent,
                          args=[str(SW_SHOWMINNOACTIVE), self.windows_path(exe)])

    def windows_path(self, path):
        return windows_path(path)

    def assertExitCode(self, program, expected, timeout=EXIT_TIMEOUT):
        code = program.wait_exit(timeout)
        self.assertEqual(code, expected, f"{program.args[0]} ended with exit code {code}")

    def press_exit(self, program):
        """Presses Exit; the program must end with exit code 0."""
        self.driver.click(IDC_EXIT)
        self.assertExitCode(program, 0)

    def press_keys(self, *keys):
        """Presses keys on the keyboard, as a person would, with the pointer
        on the window's caption."""
        rect = self.driver.dump()["rect"]
        self.display.press_keys(keys, ((rect["left"] + rect["right"]) // 2, rect["top"] + 8))

    def tab_to(self, control_id):
        """Presses Tab until control_id has the focus."""
        for _ in range(12):
            before = self.driver.dump()["focus_id"]
            if before == control_id:
                return
            self.press_keys("Tab")
            wait_until(lambda: self.driver.dump()["focus_id"] != before, WINDOW_TIMEOUT,
                       f"Tab to move the focus on from control {before}")
        self.fail(f"Tab never reached control {control_id}")

    def assertTexts(self, window, expected):
        """expected: control id -> the text the control shows."""
        self.assertEqual({control_id: control(window, control_id)["text"] for control_id in expected}, expected)


def at_scales(scenario_class, module_globals, dpis=DPIS[1:]):
    """Adds to a scenario module a copy of scenario_class for each DPI (for
    example WindowLayoutsAt144Dpi), on a screen large enough for it: the
    same scenarios at each display scale."""
    for dpi in dpis:
        name = f"{scenario_class.__name__}At{dpi}Dpi"
        module_globals[name] = type(name, (scenario_class,), {
            "dpi": dpi, "screen_size": LARGE_SCREEN, "__module__": scenario_class.__module__,
            "__qualname__": name, "__doc__": scenario_class.__doc__})


def require_architecture():
    """Skips the scenarios of an architecture this run does not cover."""
    reason = wine_host.skip_reason(ARCH)
    if reason:
        raise unittest.SkipTest(reason)


def require_bench_programs(*tools):
    """Skips the scenarios when a bench program or one of `tools` (a bench
    program, or a host command) is missing."""
    require_architecture()
    needed = ("uidriver.exe", "starter.exe", "canary.dll", "recorder.exe") + tools
    missing = [name for name in needed
               if not ((BENCH_BIN / name).exists() if name.endswith((".exe", ".dll")) else shutil.which(name))]
    if missing:
        raise unittest.SkipTest(f"missing: {missing}; build the Windows build first, or run scripts/install-deps")


def class_folder(cls, prefix):
    """A temporary folder for a scenario class, removed after its tests."""
    folder = Path(tempfile.mkdtemp(prefix=prefix, dir=os.environ.get("TMPDIR")))
    cls.addClassCleanup(shutil.rmtree, folder, ignore_errors=True)
    return folder


class ProductScenario(Scenario):
    """A scenario class whose tests share one product, built once for the
    class from `product_settings` and `product_files`."""

    product_settings = None
    product_files = None

    @classmethod
    def setUpClass(cls):
        require_bench_programs()
        cls.product_out = products.build_product(ARCH, HOST_BUILD, class_folder(cls, "e2e-product-"),
                                                 cls.product_settings or base_product(), cls.product_files)

    @property
    def exe(self):
        return self.product_out / self.exe_name

    def open_launcher(self, exe_name=None, **kwargs):
        """Starts the product's exe (from now on exe_name, when given) and
        waits until its window is up."""
        if exe_name:
            self.exe_name = self.driver.exe_name = exe_name
        program = self.start(self.exe, **kwargs)
        return program, self.driver.dump()

