"""What this host's Wine can run, and which architectures the bench runs.

Some hosts run no 32-bit x86 code at all: the kernel refuses the 32-bit
loader ("Exec format error"), and Debian's wrappers (wine, wineboot, winepath,
msiexec) pick that loader whenever its file exists. There the bench calls
Wine's 64-bit loader itself and runs the 64-bit twin of every exe; the
shipped 32-bit exes are still built and checked without running them.

    python3 wine_host.py describe    prints the one line saying what runs and why
    python3 wine_host.py loader      prints the loader the bench uses (exit 1: none)
    python3 wine_host.py runnable    prints the architectures this host runs

LAUNCHER_TEST_ARCH=i686|x86_64|all chooses; unset (or "auto"), the bench
runs every architecture this host can run.
"""

import errno
import functools
import os
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
ARCHITECTURES = ("i686", "x86_64")
WINE32 = "/usr/lib/wine/wine"
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

# The Windows build of each architecture; the variables name other folders.
_BUILD_FOLDERS = {"i686": ("LAUNCHER_WIN_BUILD_DIR", "win"), "x86_64": ("LAUNCHER_WIN64_BUILD_DIR", "win-x86_64")}


def _answers(loader):
    """None when `loader --version` runs, else why it does not."""
    try:
        completed = subprocess.run([loader, "--version"], capture_output=True, timeout=120)
    except FileNotFoundError:
        return "is not installed"
    except OSError as error:
        if error.errno == errno.ENOEXEC:
            return "cannot run here (Exec format error)"
        return f"cannot start ({error.strerror})"
    except subprocess.TimeoutExpired:
        return "did not answer within 120 s"
    if completed.returncode != 0:
        return f"failed with exit code {completed.returncode}"
    return None


@functools.lru_cache(maxsize=None)
def runs_32_bit_code():
    """Why Wine's 32-bit half cannot run here, or None when it can."""
    return _answers(WINE32)


@functools.lru_cache(maxsize=None)
def runs_64_bit_code():
    return _answers(WINE64)


def runnable_architectures():
    runnable = []
    if runs_64_bit_code() is None:
        # A 32-bit exe runs in the same 64-bit prefix through the 32-bit half.
        if runs_32_bit_code() is None:
            runnable.append("i686")
        runnable.append("x86_64")
    return tuple(runnable)


def loader_command():
    """The command that starts a Windows program, and the environment it
    needs. The 32-bit loader, where it runs, starts both kinds of exe (as
    Debian's wrapper does); elsewhere the 64-bit one, told that it is the
    loader so that it does not look for the other."""
    if runs_32_bit_code() is None and runs_64_bit_code() is None:
        return [WINE32], {}
    if runs_64_bit_code() is None:
        return [WINE64], {"WINELOADER": WINE64}
    raise RuntimeError(cannot_run_wine_sentence())


def cannot_run_wine_sentence():
    return (f"Wine cannot run on this host: {WINE64} {runs_64_bit_code()}; "
            "run scripts/install-deps, or use a host whose Wine starts.")


def requested_architectures():
    """LAUNCHER_TEST_ARCH as a tuple; None for the default (every runnable one)."""
    value = os.environ.get("LAUNCHER_TEST_ARCH", "").strip() or "auto"
    if value == "auto":
        return None
    if value == "all":
        return ARCHITECTURES
    if value in ARCHITECTURES:
        return (value,)
    raise ValueError(f"LAUNCHER_TEST_ARCH={value!r}: choose i686, x86_64, all or auto")


def selected_architectures():
    requested = requested_architectures()
    return runnable_architectures() if requested is None else requested


def describe():
    """One line: which architectures the end-to-end scenarios run in, and why."""
    requested = requested_architectures()
    runnable = runnable_architectures()
    if not runnable:
        return f"end-to-end scenarios: none run: {cannot_run_wine_sentence()}"
    if requested is not None:
        unrunnable = [arch for arch in requested if arch not in runnable]
        line = f"end-to-end scenarios run in {', '.join(requested)} (LAUNCHER_TEST_ARCH)"
        if unrunnable:
            line += f"; this host cannot run {', '.join(unrunnable)}, so those fail"
        return line
    if "i686" not in runnable:
        return (f"end-to-end scenarios run in x86_64 only: this host runs no 32-bit code ({WINE32} "
                f"{runs_32_bit_code()}); the 32-bit exes are checked statically only")
    return "end-to-end scenarios run in i686 and x86_64: this host runs both halves of Wine"


def win_build(arch):
    variable, folder = _BUILD_FOLDERS[arch]
    return Path(os.environ.get(variable, REPO / "build" / folder))


def skip_reason(arch):
    """Why a scenario of this architecture does not run here, or None."""
    if not runnable_architectures():
        return cannot_run_wine_sentence()
    selected = selected_architectures()
    if arch not in selected:
        if arch == "i686" and runs_32_bit_code() is not None:
            return f"i686 not run: this host runs no 32-bit code ({WINE32} {runs_32_bit_code()})"
        return f"{arch} not selected (LAUNCHER_TEST_ARCH={os.environ.get('LAUNCHER_TEST_ARCH', '')})"
    return None


if __name__ == "__main__":
    command = sys.argv[1] if len(sys.argv) > 1 else "describe"
    try:
        if command == "describe":
            print(describe())
        elif command == "loader":
            print(" ".join(loader_command()[0]))
        elif command == "runnable":
            print(" ".join(runnable_architectures()))
        else:
            sys.exit(f"usage: {sys.argv[0]} describe|loader|runnable")
    except (RuntimeError, ValueError) as error:
        print(error, file=sys.stderr)
        sys.exit(1)
