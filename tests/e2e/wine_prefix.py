"""Wine prefixes for the bench: one template per host, a private copy per
scenario, and the Windows programs started in it."""

import contextlib
import errno
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import wine_host

E2E_DIR = Path(os.environ.get("LAUNCHER_E2E_DIR", wine_host.REPO / "build" / "e2e"))
TEMPLATE = E2E_DIR / "prefix-template"
PREFIXES = E2E_DIR / "prefixes"

# Generous limits: a 2-core CI machine runs Wine slowly, and a wait ends as
# soon as its condition holds, so a large limit costs nothing when all is well.
WINDOW_TIMEOUT = 60
EXIT_TIMEOUT = 60

# Bumped when the settings applied to the template change, so that an old
# template is rebuilt.
TEMPLATE_SETTINGS_VERSION = "10"

# Wine draws the caption itself (there is no window manager on the bench), and
# fonts for Cyrillic and CJK text stand in for the Windows ones it links to.
TEMPLATE_REGISTRY = [
    (r"HKCU\Software\Wine\X11 Driver", "Decorated", "REG_SZ", "N"),
    # A crash ends the program instead of waiting behind Wine's crash dialog.
    (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
] + [
    (r"HKCU\Software\Wine\Fonts\Replacements", face, "REG_SZ", "WenQuanYi Micro Hei")
    for face in ("MS UI Gothic", "MS Gothic", "Meiryo", "SimSun", "Microsoft YaHei", "PMingLiU", "Gulim", "Batang")
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
    # Wine 10 draws the caption in its own Tahoma, which it finds in a prefix.
    (WINDOWS_NT + r"\FontLink\SystemLink", face, "REG_MULTI_SZ", "wqy-microhei.ttc,WenQuanYi Micro Hei")
    for face in ("Liberation Sans", "Liberation Sans Bold", "Tahoma", "Tahoma Bold")
]

# Big read-only files of the prefix are hard-linked into each copy; Wine
# never writes them in place. Everything else (registry files, ini files) is
# copied, since Wine rewrites those.
# Wine's own error messages only (a lost display or wineserver, a program it
# cannot start): what a failure report shows of Wine.
WINE_ERRORS_ONLY = "fixme-all"

SHARED_FOLDERS = ("drive_c/windows/system32", "drive_c/windows/syswow64", "drive_c/windows/winsxs",
                  "drive_c/windows/Fonts", "drive_c/windows/globalization")


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


def windows_path(path):
    """The Windows name of a host path (drive Z: maps the root)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def wine_command(args):
    """The command line that runs a Windows program (or a Wine tool such as
    reg, wineboot or winepath) with this host's loader.

    Address space randomisation is off for Wine and every process it starts
    (setarch -R; the setting is inherited). Debian's Wine comes without the
    preloader that would keep Windows' fixed addresses free: the 64-bit
    loader sits just below the address of the shared user data, and with
    randomisation on, its heap, placed at random after it, now and then
    reaches that address. The process then dies before its first
    instruction ("failed to map the shared user data: c0000018") with exit
    code 1 and nothing on its output: a UI driver command that printed no
    report, a launcher whose window never appeared."""
    loader, _ = wine_host.loader_command()
    return ["setarch", "-R", *loader, *map(str, args)]


def wine_environment(prefix, display=None, extra=None):
    # No Mono or Gecko installer prompts in a fresh prefix.
    env = dict(os.environ, **wine_host.loader_command()[1], WINEPREFIX=str(prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    env.update(extra or {})
    return env


def wineserver(env, *args):
    subprocess.run([wine_host.WINESERVER, *args], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wine_version():
    completed = subprocess.run(wine_command(["--version"]), capture_output=True, text=True, check=True)
    return completed.stdout.strip()


def prepare_prefix_template():
    """Returns the prefix every scenario starts from, building it when it is
    missing or was made by another Wine version (wineboot takes a while). Both
    architectures share it: it is a 64-bit prefix, which runs 32-bit programs
    wherever the host runs 32-bit code."""
    # A template made where no 32-bit code ran lacks the 32-bit half of the
    # system: the stamp names what ran, so that it is made again.
    runs = "+".join(wine_host.runnable_architectures())
    stamp_text = f"{wine_version()} settings {TEMPLATE_SETTINGS_VERSION} runs {runs}"
    stamp = TEMPLATE / ".bench-stamp"
    with file_lock(E2E_DIR / "prefix-template.lock"):
        if stamp.exists() and stamp.read_text() == stamp_text:
            return TEMPLATE
        log(f"preparing the Wine prefix template ({stamp_text})")
        fresh = E2E_DIR / "prefix-template.new"
        shutil.rmtree(fresh, ignore_errors=True)
        env = wine_environment(fresh, extra={"WINEARCH": "win64"})
        # Where no 32-bit code runs, wineboot warns that syswow64's rundll32
        # cannot start; the prefix is whole all the same.
        subprocess.run(wine_command(["wineboot", "-i"]), env=env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # Where the host runs 32-bit code, `wine reg` is the 32-bit reg.exe,
        # whose machine keys land in the 32-bit view: each view gets its copy,
        # for the programs of either architecture.
        for key, name, kind, value in TEMPLATE_REGISTRY + DIALOG_FONT_REGISTRY:
            for view in ("/reg:32", "/reg:64"):
                subprocess.run(wine_command(["reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f", view]),
                               env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine draws the caption's close box with Marlett, which it only finds
        # in the prefix's own font folder.
        marlett = Path("/usr/share/wine/fonts/marlett.ttf")
        if marlett.exists():
            shutil.copy2(marlett, fresh / "drive_c" / "windows" / "Fonts" / "marlett.ttf")
        wineserver(env, "-w")
        (fresh / ".bench-stamp").write_text(stamp_text)
        shutil.rmtree(TEMPLATE, ignore_errors=True)
        fresh.rename(TEMPLATE)
        return TEMPLATE


def copy_prefix(template, destination):
    """Copies the template; its big read-only files are hard-linked where the
    destination is on the template's file system, and copied where it is not
    (a tmpfs /tmp, a checkout on another disk)."""
    can_link = True

    def link_or_copy(source, target):
        nonlocal can_link
        relative = Path(source).relative_to(template).as_posix()
        if can_link and relative.startswith(SHARED_FOLDERS):
            try:
                os.link(source, target)
                return
            except OSError as error:
                if error.errno not in (errno.EXDEV, errno.EPERM, errno.EMLINK, errno.EOPNOTSUPP):
                    raise
                can_link = False
        shutil.copy2(source, target)

    shutil.copytree(template, destination, symlinks=True, copy_function=link_or_copy)


def _process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


def new_prefix_folder():
    """A new folder for a scenario's prefix, beside the template: there its
    big files are hard links, a copy in a fraction of a second, whatever file
    system TMPDIR is on (a tmpfs /tmp would take a full copy of them, over a
    gigabyte, for every scenario). Folders that a killed run left behind are
    removed first; each is named after the process that made it."""
    PREFIXES.mkdir(parents=True, exist_ok=True)
    for folder in PREFIXES.iterdir():
        owner = folder.name.split("-", 1)[0]
        if owner.isdigit() and not _process_alive(int(owner)):
            shutil.rmtree(folder, ignore_errors=True)
    return Path(tempfile.mkdtemp(prefix=f"{os.getpid()}-", dir=PREFIXES))


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
        env = self.env(extra_env)
        # Wine's own errors go with the output, which a failure shows.
        if "WINEDEBUG" not in (extra_env or {}):
            env["WINEDEBUG"] = WINE_ERRORS_ONLY
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            completed = subprocess.run(wine_command(args), env=env, stdin=subprocess.DEVNULL,
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

    def shutdown(self):
        # Ends every process of this prefix only; other prefixes are untouched.
        env = self.env()
        wineserver(env, "-k")
        wineserver(env, "-w")


class RunningProgram:
    """A Windows program started under Wine; its exit code is Wine's."""

    def __init__(self, prefix, args, cwd, extra_env=None, trace=None, trace_path=None, error_log=None):
        """error_log: a file for Wine's own errors (a lost display, a lost
        wineserver), which a failing scenario shows."""
        self.args = [str(a) for a in args]
        self.error_log = None
        self.description = None
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
        elif error_log:
            env["WINEDEBUG"] = WINE_ERRORS_ONLY
            self.error_log = Path(error_log)
            log_file = open(self.error_log, "wb")
        self.process = subprocess.Popen(wine_command(self.args), cwd=str(cwd), env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=log_file)
        if log_file is not subprocess.DEVNULL:
            log_file.close()

    def describe(self):
        """How the program ended, with the end of Wine's errors for it, for a
        failure report; kept by stop(), since the log's folder goes with the
        scenario."""
        if self.description is None:
            code = self.process.poll()
            state = "still running" if code is None else f"ended by itself with exit code {code:#x}"
            errors = ""
            if self.error_log and self.error_log.exists():
                errors = self.error_log.read_text(errors="replace")[-1500:].strip()
            self.description = f"{Path(self.args[0]).name}: {state}" + (f"; Wine said:\n{errors}" if errors else "")
        return self.description

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=EXIT_TIMEOUT):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{self.args[0]} still running after {timeout} s") from None

    def stop(self):
        self.describe()
        if self.running():
            self.process.kill()
            self.process.wait()
