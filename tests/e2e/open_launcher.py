"""Opens a launcher exe under Wine the way a person would meet it, for
scripts/demo.

    python3 tests/e2e/open_launcher.py EXE --prefix DIR --screenshot PNG

With $DISPLAY set the window opens there and the script waits until it is
closed. Without one it opens on a virtual display, saves a screenshot, closes
the launcher with its Exit button and prints the screenshot's path.
"""

import argparse
import os
import sys
from pathlib import Path

import bench


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe", type=Path)
    parser.add_argument("--prefix", type=Path, required=True, help="Wine prefix, made from the bench's template")
    parser.add_argument("--screenshot", type=Path, required=True)
    options = parser.parse_args()
    exe = options.exe.resolve()

    if os.environ.get("DISPLAY"):
        prefix = bench.Prefix(options.prefix, os.environ["DISPLAY"])
        print(f"Opening {exe} on {os.environ['DISPLAY']}; close the window to end the demo.", flush=True)
        program = bench.RunningProgram(prefix, [exe], exe.parent)
        code = program.process.wait()
        print(f"The launcher ended with exit code {code}.")
        return 0

    display = bench.VirtualDisplay()
    program = None
    try:
        prefix = bench.Prefix(options.prefix, display.name)
        program = bench.RunningProgram(prefix, [exe], exe.parent)
        driver = bench.UiDriver(prefix, exe.name)
        window = driver.dump()
        display.screenshot(options.screenshot.resolve())
        print(bench.describe_window(window))
        driver.click(bench.IDC_EXIT)
        code = program.wait_exit()
        print(f"The launcher ended with exit code {code}.")
        print(f"Screenshot: {options.screenshot.resolve()}")
        return 0 if code == 0 else 1
    finally:
        if program:
            program.stop()
        if "prefix" in locals():
            prefix.shutdown()
        display.close()


if __name__ == "__main__":
    sys.exit(main())
