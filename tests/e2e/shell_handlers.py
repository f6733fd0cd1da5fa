"""Real shell associations for the scenarios that watch what the launcher hands
to the shell: recorder.exe is registered as the program behind file types and
web addresses, so that ShellExecute starts it and it writes down what it got.

Each recorder copy writes recorder.log beside itself, one JSON line per start
with its command line and current folder; a scenario gives every role (the
document viewer, the package handler, the browser, the game) its own copy in
its own folder, and so sees which role the shell started.
"""

import json
import shutil
import time
from pathlib import Path

import bench
import products

PROGID = "LauncherBench.Recorded"

# Wine's shell reads HKEY_CLASSES_ROOT, which merges the user's and the
# machine's classes; the machine's view holds Wine's own defaults.
CLASSES = r"HKEY_LOCAL_MACHINE\Software\Classes"
USER_CLASSES = r"HKEY_CURRENT_USER\Software\Classes"


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Recorder:
    """One copy of recorder.exe in a folder of its own."""

    def __init__(self, folder, name="recorder.exe"):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.exe = self.folder / name
        shutil.copy(bench.BENCH_BIN / "recorder.exe", self.exe)
        self.log = self.folder / "recorder.log"

    def starts(self):
        """Every start recorded so far, oldest first: dicts with command_line
        and current_folder."""
        if not self.log.exists():
            return []
        lines = self.log.read_text(encoding="utf-8", errors="replace").splitlines()
        return [json.loads(line) for line in lines if line.strip()]

    def wait_starts(self, count, timeout=bench.EXIT_TIMEOUT):
        """Waits until at least `count` starts are recorded and returns them."""
        return bench.wait_until(lambda: self.starts() if len(self.starts()) >= count else None, timeout,
                                f"{self.exe.name} in {self.folder.name} to be started {count} time(s)")


class RegistryImport:
    """Registry changes gathered and written with one regedit run: every Wine
    start costs seconds on the bench."""

    def __init__(self):
        self.class_lines = []
        self.machine_lines = []

    def associate(self, name, recorder):
        """Makes `recorder` the program behind a file type (".txt") or a URL
        protocol ("https")."""
        command = reg_string(f'"{bench.windows_path(recorder.exe)}" "%1"')
        if name.startswith("."):
            progid = f"{PROGID}{name}"
            self.class_lines += [f"[{CLASSES}\\{name}]", f"@={reg_string(progid)}", "",
                                 f"[{CLASSES}\\{progid}\\shell\\open\\command]", f"@={command}", ""]
        else:
            self.class_lines += [f"[{CLASSES}\\{name}]", '"URL Protocol"=""', "",
                                 f"[{CLASSES}\\{name}\\shell\\open\\command]", f"@={command}", ""]
        return self

    def remove_file_type(self, extension):
        """No handler at all for this file type, in either classes view."""
        self.class_lines += [f"[-{CLASSES}\\{extension}]", f"[-{USER_CLASSES}\\{extension}]", ""]
        return self

    def product_values(self, registry_key, **values):
        """Values under HKLM\\<registry_key> as the 32-bit launcher reads them;
        str values are REG_SZ, int values REG_DWORD."""
        key = registry_key.strip("\\")
        self.machine_lines.append(f"[HKEY_LOCAL_MACHINE\\{key}]")
        for name, value in values.items():
            if isinstance(value, int):
                self.machine_lines.append(f"{reg_string(name)}=dword:{value:08x}")
            else:
                self.machine_lines.append(f"{reg_string(name)}={reg_string(value)}")
        self.machine_lines.append("")
        return self

    def apply(self, prefix, work_dir):
        # The product's values go where its 32-bit package writes them, the
        # 32-bit view, which the launcher reads in either build. File types
        # are shared by both views on Windows; Wine keeps one copy per view,
        # so they go to both, for the shell of a launcher of either build.
        for lines, views in ((self.machine_lines, ("/reg:32",)), (self.class_lines, ("/reg:32", "/reg:64"))):
            if not lines:
                continue
            reg_file = Path(work_dir) / f"registry-{time.monotonic_ns()}.reg"
            reg_file.write_text("\r\n".join(["Windows Registry Editor Version 5.00", "", *lines]) + "\r\n",
                                encoding="utf-16")
            for view in views:
                prefix.run(["reg", "import", bench.windows_path(reg_file), view])


def argument_of(start):
    """The document or address a handler was started with: the command line's
    last quoted part ("%1" in the registered command)."""
    command_line = start["command_line"].rstrip()
    if command_line.endswith('"'):
        return command_line[command_line.rfind('"', 0, -1) + 1:-1]
    return command_line.split()[-1]


def same_windows_path(a, b):
    """Windows paths compare without regard to case or the form of the slash."""
    return a.replace("/", "\\").rstrip("\\").lower() == b.replace("/", "\\").rstrip("\\").lower()


class ShellScenario(bench.ProductScenario):
    """A product scenario whose launcher runs from a folder of its own (a
    disc), with recorders standing behind the shell's handlers."""

    def setUp(self):
        super().setUp()
        self.registry = RegistryImport()

    def recorder(self, role):
        return Recorder(self.work / role)

    def make_disc(self, files=None):
        """A folder holding the launcher and `files`; the launcher's current
        folder when opened with open_disc."""
        disc = self.work / "disc"
        disc.mkdir(exist_ok=True)
        shutil.copy(self.exe, disc / self.exe_name)
        products.write_files(disc, files or {})
        return disc

    def open_disc(self, disc):
        """Writes the gathered registry changes, then starts the launcher in
        the disc folder and waits for its window."""
        self.registry.apply(self.prefix, self.work)
        self.registry = RegistryImport()
        program = self.start(disc / self.exe_name, cwd=disc)
        return program, self.driver.dump()
