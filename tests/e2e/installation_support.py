"""What the installation scenarios share: products that carry a real package,
the temporary folder and the workspaces of installer mode, msiexec made
unusable, a full disk, the exact texts of the fatal error box, and a payload
table to forge."""

import ctypes
import ctypes.util
import json
import os
import re
import shutil
import struct
import subprocess
from pathlib import Path

import bench
import packages
import pe_resources
import uidriver

PRODUCT_NAME = "Skyforge 2: Iron Vale"
REGISTRY_KEY = r"Software\Quillmark\Skyforge2"
PACKAGE_NAME = "Skyforge2.msi"
GAME_EXE = "Skyforge2.exe"
# Each run's own workspace: the prefix and 64 random bits in hex.
WORKSPACE_NAME = re.compile(r"CorvaneInstaller-[0-9a-f]{16}")

# English first, then French: the French entry passes its transform.
LANGUAGE_IDS = "1033;1036;"
FIRST_LANGUAGE_INDEX = 0
FRENCH_INDEX = 1
FRENCH_TRANSFORMS = ":fr-fr.mst"
FRENCH_LCID = "1036"

# Nested folders, so that unpacking has sub-folders to create.
NESTED_PAYLOAD = {
    "Data/Maps/Iron Vale/level1.map": bytes(range(256)) * 40,
    "Data/Sounds/intro.wav": b"RIFF" + b"\x01" * 5000,
    "Docs/Readme.txt": "Skyforge 2: Iron Vale\r\n".encode(),
}

RT_RCDATA = 10
ERROR_ALREADY_EXISTS = 183
ERROR_DISK_FULL = 112
ERROR_RESOURCE_NAME_NOT_FOUND = 1814


class PackageScenario(bench.ProductScenario):
    """A product whose package is a real one, built for the class: on the disc
    for Autorun.exe, in the payload when the scenario drives Installer.exe.

    package_fails: the package's launch condition is false (msiexec shows
    its own message and installs nothing). payload: more files beside the
    package (relative path -> bytes)."""

    package_fails = False
    payload = None

    @classmethod
    def setUpClass(cls):
        bench.require_bench_programs("fault_tool.exe", "wixl")
        work = bench.class_folder(cls, "e2e-package-")
        folder = "payload" if cls.exe_name == "Installer.exe" else "disc"
        package = packages.build_package(work, PRODUCT_NAME, REGISTRY_KEY, GAME_EXE, package_name=PACKAGE_NAME,
                                         languages=("fr-fr",), fail=cls.package_fails)
        files = {PACKAGE_NAME: package.read_bytes(), **(cls.payload or {})}
        cls.product_files = {f"{folder}/{relative}": content for relative, content in files.items()}
        # payload = "payload", or disc = "disc"
        cls.product_settings = bench.base_product(
            language_ids=LANGUAGE_IDS, product_names=f"{PRODUCT_NAME};{PRODUCT_NAME};", registry_key=REGISTRY_KEY,
            package_name=PACKAGE_NAME, game_exe=GAME_EXE, **{folder: folder}, **cls.extra_settings(work))
        super().setUpClass()

    @classmethod
    def extra_settings(cls, work):
        """Keys a scenario adds to product.toml; work is the class's folder."""
        return {}

    # ---------------------------------------------------------- the product

    def private_copy(self, source, name):
        """A copy of a folder of the product in this scenario's own folder, so
        that what a scenario plants there stays its own."""
        target = self.work / name
        shutil.copytree(source, target)
        return target

    def start_reporting_exit_code(self, exe, cwd=None, extra_env=None):
        """Starts exe through fault_tool.exe, which keeps its whole exit code
        (wine passes on only the low 8 bits); see assertWholeExitCode."""
        exe = Path(exe)
        exit_file = self.work / f"exit-code-{len(self.programs)}.txt"
        program = self.start(bench.BENCH_BIN / "fault_tool.exe", cwd=cwd or exe.parent, extra_env=extra_env,
                             args=["run", self.windows_path(exit_file), self.windows_path(exe)])
        program.exit_file = exit_file
        return program

    def assertWholeExitCode(self, program, expected, timeout=bench.EXIT_TIMEOUT):
        program.wait_exit(timeout)
        self.assertTrue(program.exit_file.exists(), "the program's exit code was not recorded")
        code = int(program.exit_file.read_text())
        self.assertEqual(code, expected, f"{program.args[-1]} ended with exit code {code}")

    def installed(self):
        return packages.installed_values(self.prefix, REGISTRY_KEY)

    def plant_msiexec(self, *folders):
        """A marker-writing msiexec.exe in each folder; returns the log that
        a run of any of them would write."""
        log = self.work / "planted-msiexec.log"
        for folder in folders:
            shutil.copy2(bench.BENCH_BIN / "recorder.exe", Path(folder) / "msiexec.exe")
        return log, {"RECORDER_LOG": self.windows_path(log)}

    # ---------------------------------------------------------- the system

    def fault_tool(self, *args, timeout=120):
        return uidriver.run_json_tool(self.prefix, bench.BENCH_BIN / "fault_tool.exe", *args, timeout=timeout)

    def fatal_error_text(self, what, code):
        """The text of the launcher's fatal error box for `what` and `code`,
        with the system's description as Wine words it."""
        return f"{what} failed with error {code}: {self.fault_tool('error-text', code)['text']}"

    def use_temp_folder(self, host_folder):
        """Makes host_folder the Windows temporary folder of this prefix (Wine
        takes TEMP and TMP from the registry, not from its own environment)."""
        host_folder = Path(host_folder)
        host_folder.mkdir(parents=True, exist_ok=True)
        for name in ("TEMP", "TMP"):
            self.prefix.run(["reg", "add", r"HKCU\Environment", "/v", name, "/d", self.windows_path(host_folder),
                             "/f"])
        return host_folder

    def mount_small_disk(self, folder, size="2m"):
        """A tmpfs of `size` at folder (the bench runs as root); the scenario
        is skipped where mounting is not allowed."""
        if os.geteuid() != 0:
            self.skipTest("mounting a small disk needs root")
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", str(folder)],
                                 capture_output=True, text=True)
        if mounted.returncode != 0:
            self.skipTest(f"cannot mount a small disk: {mounted.stderr.strip()}")
        # Lazily: cleanups run in reverse order, so the scenario's Wine
        # processes may still hold a file on it when this runs.
        self.addCleanup(subprocess.run, ["umount", "-l", str(folder)], check=False)
        return folder

    def disable_msiexec(self):
        """Renames msiexec.exe in both system folders of this prefix (the
        template's files are hard links; a rename leaves them alone)."""
        for system in ("system32", "syswow64"):
            exe = self.prefix.path / "drive_c" / "windows" / system / "msiexec.exe"
            if exe.exists():
                exe.rename(exe.with_name("msiexec.exe.disabled"))

    def message_boxes(self, exe_name):
        """The message boxes of the process running exe_name, now."""
        return bench.UiDriver(self.prefix, exe_name).run("message-boxes", check=False)["message_boxes"]

    def wait_message_box(self, exe_name, text=None, timeout=bench.WINDOW_TIMEOUT):
        """Waits for a message box of exe_name (with exactly `text`, when
        given) and returns it."""
        return bench.UiDriver(self.prefix, exe_name).wait_complete_message_box(text, timeout)

    def press_ok(self, exe_name):
        bench.UiDriver(self.prefix, exe_name).press_message_box_ok()


def renumber_raw_data_resource(exe, old_id, new_id):
    """Gives the raw-data resource old_id of exe the id new_id, in place, so
    that old_id is missing. new_id must sort where old_id did (for the
    highest id, any larger one): the loader searches the ids in order."""
    pe = pe_resources.PeFile(exe)
    fields = pe.resource_name_fields(RT_RCDATA)
    if old_id not in fields:
        raise ValueError(f"{exe}: no raw-data resource {old_id}")
    data = bytearray(pe.data)
    struct.pack_into("<I", data, fields[old_id], new_id)
    Path(exe).write_bytes(bytes(data))


def workspaces_in(temp_folder):
    """The installers' own workspaces in temp_folder, sorted."""
    temp_folder = Path(temp_folder)
    return sorted(path for path in temp_folder.iterdir() if WORKSPACE_NAME.fullmatch(path.name)) \
        if temp_folder.is_dir() else []


def workspace_of(temp_folder):
    """The one workspace in temp_folder, once there is one."""
    bench.wait_until(lambda: len(workspaces_in(temp_folder)) == 1, bench.WINDOW_TIMEOUT, "one workspace")
    return workspaces_in(temp_folder)[0]


def assert_installed_from_a_workspace(test, original_database, temp_folder):
    """The package msiexec installed lay at the root of a workspace of its own
    in temp_folder."""
    folder, name = original_database.rsplit("\\", 1)
    parent, workspace = folder.rsplit("\\", 1)
    test.assertEqual(name, PACKAGE_NAME)
    test.assertRegex(workspace, WORKSPACE_NAME)
    test.assertEqual(parent.lower(), test.windows_path(temp_folder).rstrip("\\").lower())


class Swapper:
    """swapper.exe in the scenario's prefix: as the same user, it tries to
    copy `replacement` over, move it over, rename and delete every file in
    the workspaces of `temp_folder` as it appears, and to rename every
    folder there, until stopped."""

    def __init__(self, scenario, temp_folder, replacement):
        self.stop_file = scenario.work / "swapper.stop"
        self.report = scenario.work / "swapper.json"
        self.program = scenario.start(bench.BENCH_BIN / "swapper.exe", cwd=scenario.work, args=[
            scenario.windows_path(temp_folder), scenario.windows_path(replacement),
            scenario.windows_path(self.stop_file), scenario.windows_path(self.report)])

    def stop(self):
        """Stops it; returns its report: tries, seen and succeeded."""
        self.stop_file.write_text("stop")
        self.program.wait_exit(bench.EXIT_TIMEOUT)
        return json.loads(self.report.read_text())


def xxh3(data):
    """The payload's checksum of `data`, from the system's libxxhash."""
    library = ctypes.CDLL(ctypes.util.find_library("xxhash") or "libxxhash.so.0")
    library.XXH3_64bits.restype = ctypes.c_uint64
    library.XXH3_64bits.argtypes = [ctypes.c_char_p, ctypes.c_size_t]
    return library.XXH3_64bits(data, len(data))


class PayloadTable:
    """The payload table inside an Installer.exe, to change as a forger
    would: its items, and its own checksum made anew."""
    HEADER, VOLUME_RECORD, ITEM_RECORD, CHECKSUM_FIELD = 80, 40, 40, 72

    def __init__(self, exe):
        self.exe = Path(exe)
        self.data = bytearray(self.exe.read_bytes())
        # The program's code holds the magic too, before its resources.
        self.at = bytes(self.data).rindex(b"DLPAYTAB")
        self.item_count, self.volume_count = struct.unpack_from("<II", self.data, self.at + 16)

    def items(self):
        """(place, file, offset, size, checksum) of each item."""
        first = self.at + self.HEADER + self.VOLUME_RECORD * self.volume_count
        return [struct.unpack_from("<IIQQQ", self.data, first + self.ITEM_RECORD * i)
                for i in range(self.item_count)]

    def set_checksum(self, index, checksum):
        first = self.at + self.HEADER + self.VOLUME_RECORD * self.volume_count
        struct.pack_into("<Q", self.data, first + self.ITEM_RECORD * index + 24, checksum)
        size = self.HEADER + self.VOLUME_RECORD * self.volume_count + self.ITEM_RECORD * self.item_count
        table = bytearray(self.data[self.at:self.at + size])
        table[self.CHECKSUM_FIELD:self.CHECKSUM_FIELD + 8] = bytes(8)
        struct.pack_into("<Q", self.data, self.at + self.CHECKSUM_FIELD, xxh3(bytes(table)))
        self.exe.write_bytes(bytes(self.data))


def files_below(folder):
    """Relative POSIX paths of every file below folder, sorted."""
    folder = Path(folder)
    return sorted(path.relative_to(folder).as_posix() for path in folder.rglob("*") if path.is_file())
