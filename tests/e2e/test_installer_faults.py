"""Installer.exe when unpacking cannot go on: the fatal error box names the
operation, the system's error code and text, the exit code is that code and
the run's workspace is gone. Also what must never be touched or installed:
anything planted in the temporary folder, files outside reached through a
link, a package swapped by another program of the same user; and two
products installing at once each keep their own workspace. And damage and
forgery: every payload byte is checked against its checksum, and every
volume against the SHA-256 the signed exe holds, before msiexec sees it."""

import os
import re
import random
import shutil
import struct
import subprocess

import bench
import installation_support as support
import packages
import products
from bench import IDC_CONTINUE, IDC_EXIT

# Bigger than the small disk below, so that a write fails on it.
MOVIE_BYTES = 3 * 1024 * 1024
PAYLOAD = dict(support.NESTED_PAYLOAD, **{"Data/Movies/intro.bik": b"\x5a" * MOVIE_BYTES})

ERROR_FILE_NOT_FOUND = 2
ERROR_INVALID_DATA = 13
ERROR_CRC = 23


def flip_byte(path, offset):
    """Damages one byte of a file, as a scratch or a bad download would."""
    with open(path, "r+b") as file:
        file.seek(offset)
        byte = file.read(1)[0]
        file.seek(offset)
        file.write(bytes([byte ^ 0x20]))


class FatalErrorSteps:
    exe_name = "Installer.exe"

    def continue_to_fatal_error(self, folder):
        """Starts the installer in folder and presses Continue; returns the
        program and the box that comes up."""
        program = self.start_reporting_exit_code(folder / "Installer.exe")
        self.driver.dump()
        self.driver.click(IDC_CONTINUE)
        return program, self.wait_message_box("Installer.exe", timeout=120)

    def run_to_fatal_error(self, what, code, folder=None):
        """Presses Continue and checks the one box that ends the program."""
        expected_text = self.fatal_error_text(what, code)
        program, box = self.continue_to_fatal_error(folder or self.private_copy(self.product_out, "download"))
        self.screenshot()
        self.assertEqual(box["text"], expected_text)
        self.assertEqual(box["title"], "Error")
        self.press_ok("Installer.exe")
        self.assertWholeExitCode(program, code)


class InstallerFaults(FatalErrorSteps, support.PackageScenario):
    payload = PAYLOAD

    def installer_without_its_last_resource(self):
        """A copy of Installer.exe whose last payload file has no resource:
        the manifest lists one file per resource from 3001 on, and the last
        one moves away."""
        folder = self.private_copy(self.product_out, "download")
        last_id = 3000 + len(PAYLOAD) + 1
        support.renumber_raw_data_resource(folder / "Installer.exe", last_id, 0x7FFF)
        return folder, last_id

    def test_a_payload_file_without_its_resource(self):
        temp = self.use_temp_folder(self.work / "temp")
        folder, missing_id = self.installer_without_its_last_resource()
        self.run_to_fatal_error(f"FindResource failed trying to find resource ID {missing_id}",
                                support.ERROR_RESOURCE_NAME_NOT_FOUND, folder)
        # Every lookup comes before the workspace is made.
        self.assertEqual(support.workspaces_in(temp), [])

    def test_a_damaged_payload_resource(self):
        folder = self.private_copy(self.product_out, "download")
        exe = folder / "Installer.exe"
        flip_byte(exe, exe.read_bytes().index(support.NESTED_PAYLOAD["Docs/Readme.txt"]) + 3)
        self.run_to_fatal_error("Verifying Docs\\Readme.txt", ERROR_CRC, folder)
        self.assertEqual(self.installed(), {})

    def test_exit_while_the_error_is_shown_ends_with_0_and_removes_the_workspace(self):
        temp = self.use_temp_folder(self.work / "temp")
        program, _ = self.continue_to_fatal_error(self.installer_without_its_last_resource()[0])
        # The box has no owner: the window behind it still takes Exit.
        self.driver.click(IDC_EXIT)
        self.assertWholeExitCode(program, 0)
        self.assertEqual(support.workspaces_in(temp), [], "the workspace was left behind")

    def test_a_full_disk(self):
        """A temporary folder too small for the payload: said before a byte
        is written, with the size needed and the folder."""
        temp = self.use_temp_folder(self.mount_small_disk(self.work / "small disk", "2m"))
        program, box = self.continue_to_fatal_error(self.private_copy(self.product_out, "download"))
        self.screenshot()
        folder = re.escape(self.windows_path(temp).rstrip("\\") + "\\")
        ending = re.escape(self.fatal_error_text("", support.ERROR_DISK_FULL))
        self.assertRegex(box["text"], rf"^Unpacking \d+\.\d MB to {folder}{ending}$")
        self.assertEqual(support.files_below(temp), [], "a file was written before the box")
        self.press_ok("Installer.exe")
        self.assertWholeExitCode(program, support.ERROR_DISK_FULL)
        self.assertEqual(support.files_below(temp), [], "the workspace was left behind")

    def plant_in_the_temporary_folder(self, temp):
        """What another program may have left or planted where workspaces go:
        the fixed-name workspace of earlier versions and a guessed new name,
        each with folders, a read-only file named like a payload folder, and
        a link to a folder outside. Returns the folder outside."""
        outside = self.work / "Saved Games"
        (outside / "Slot 1").mkdir(parents=True)
        (outside / "Slot 1" / "save.dat").write_bytes(b"progress")
        (outside / "options.ini").write_text("volume=7")
        for name in ("CorvaneInstaller", "CorvaneInstaller-0000000000000000"):
            planted = temp / name
            (planted / "Docs").mkdir(parents=True)
            (planted / "Docs" / "Readme.txt").write_text("planted")
            (planted / "Data").write_text("left over")
            (planted / "Data").chmod(0o444)
            os.symlink(outside, planted / "Saves")
        return outside

    def test_nothing_planted_or_swapped_is_installed_or_touched(self):
        """A temporary folder with things planted in it, and a program of the
        same user that tries to swap, rename or delete every file of the
        workspace as it appears, while the installer runs."""
        temp = self.use_temp_folder(self.work / "temp")
        outside = self.plant_in_the_temporary_folder(temp)
        planted = support.files_below(temp)
        rogue = packages.build_package(self.work / "rogue", "Rogue", ROGUE_KEY, "Rogue.exe",
                                       package_name="Rogue.msi")
        swapper = support.Swapper(self, temp, rogue)

        program = self.start(self.private_copy(self.product_out, "download") / "Installer.exe")
        self.driver.dump()
        self.driver.click(IDC_CONTINUE)
        self.assertExitCode(program, 0, timeout=180)
        report = swapper.stop()

        support.assert_installed_from_a_workspace(self, self.installed().get("OriginalDatabase", ""), temp)
        self.assertEqual(packages.installed_values(self.prefix, ROGUE_KEY), {}, "the swapped package was installed")
        self.assertTrue(report["msiexec_seen"])
        self.assertTrue(any(path.endswith(support.PACKAGE_NAME) for path in report["seen"]), report["seen"])
        self.assertEqual(report["succeeded"], [], f"of {report['tries']} tries")
        bench.log(f"the swapper tried {report['tries']} times on {len(report['seen'])} files and folders")
        # Everything outside the run's own workspace is as it was, and the
        # workspace is gone.
        self.assertEqual(support.files_below(temp), planted)
        self.assertEqual(support.files_below(outside), ["Slot 1/save.dat", "options.ini"])
        self.assertEqual(support.workspaces_in(temp), [temp / "CorvaneInstaller-0000000000000000"])

    def test_two_products_install_at_once(self):
        """Another product's installer, started while this one unpacks and
        installs, makes a workspace of its own: both install."""
        temp = self.use_temp_folder(self.work / "temp")
        other_package = packages.build_package(self.work / "other", "Emberfall", OTHER_KEY, "Emberfall.exe",
                                               package_name="Emberfall.msi", languages=("fr-fr",))
        other_out = products.build_product(
            bench.ARCH, bench.HOST_BUILD, self.work / "other product",
            dict(self.product_settings, registry_key=OTHER_KEY, package_name="Emberfall.msi",
                 game_exe="Emberfall.exe", instance_mutex="6B1D0F7E-2C4A-4F3B-9E8D-7A6C5B4E3D2F",
                 product_names="Emberfall;Emberfall;"),
            {"payload/Emberfall.msi": other_package.read_bytes(), "payload/Data/world.pak": bytes(MOVIE_BYTES)})
        other_exe = self.work / "other download" / "EmberfallSetup.exe"
        other_exe.parent.mkdir()
        shutil.copy(other_out / "Installer.exe", other_exe)

        first = self.start(self.private_copy(self.product_out, "download") / "Installer.exe")
        self.driver.dump()
        second = self.start(other_exe)
        other_driver = bench.UiDriver(self.prefix, other_exe.name)
        other_driver.dump()
        self.driver.click(IDC_CONTINUE)
        other_driver.click(IDC_CONTINUE)
        # The first one's workspace lives at least as long as its msiexec.
        bench.wait_until(lambda: len(support.workspaces_in(temp)) == 2 or not (first.running() and second.running()),
                         180, "both workspaces")
        self.assertEqual(len(support.workspaces_in(temp)), 2, "the two runs did not overlap")
        self.assertExitCode(first, 0, timeout=180)
        self.assertExitCode(second, 0, timeout=180)
        support.assert_installed_from_a_workspace(self, self.installed().get("OriginalDatabase", ""), temp)
        other = packages.installed_values(self.prefix, OTHER_KEY)
        support.assert_installed_from_a_workspace(
            self, other.get("OriginalDatabase", "").replace("Emberfall.msi", support.PACKAGE_NAME), temp)
        self.assertEqual(support.workspaces_in(temp), [])


ROGUE_KEY = r"Software\Rogue\Game"
OTHER_KEY = r"Software\Quillmark\Emberfall"


# Three volumes of this size hold what the exe cannot: the exe itself is
# about 1.7 MB before its payload.
VOLUME_SIZE = 2_000_000
VOLUME_NAMES = ["Installer-1.bin", "Installer-2.bin", "Installer-3.bin"]


class InstallerInVolumes(FatalErrorSteps, support.PackageScenario):
    """A signed Installer.exe whose payload lies after its image and in three
    volumes beside it, a movie spanning all four files."""

    # Random bytes: no two places of the movie look alike.
    payload = dict(support.NESTED_PAYLOAD, **{"Data/Movies/intro.bik": random.Random(18).randbytes(5_000_000)})

    @classmethod
    def extra_settings(cls, work):
        cls.certificate, key = products.code_signing_key(work, "e2e")
        os.environ["E2E_SIGNING_PASSWORD"] = "e2e"
        return {"volume_size": VOLUME_SIZE,
                "signing": {"pkcs12": str(key), "password_env": "E2E_SIGNING_PASSWORD"}}

    def exe_data_offset(self, exe):
        """Where the exe's payload data starts: the payload table, a resource,
        says so. (The program's code holds the table's magic too, before its
        resources.)"""
        data = exe.read_bytes()
        return struct.unpack_from("<Q", data, data.rindex(b"DLPAYTAB") + 48)[0]

    def forge_a_volume(self, folder):
        """Other bytes for the package in the last volume, and the package's
        checksum in the exe's table made to match, as a forger could (which
        breaks the exe's signature, not looked at here): only the volume's
        SHA-256, which the signed table holds, can tell."""
        table = support.PayloadTable(folder / "Installer.exe")
        index, (_, file, offset, size, _) = next(
            (index, item) for index, item in enumerate(table.items()) if item[1] == len(VOLUME_NAMES))
        volume = folder / VOLUME_NAMES[file - 1]
        data = bytearray(volume.read_bytes())
        data[offset + 200:offset + 210] = b"FORGED!!!!"
        volume.write_bytes(bytes(data))
        table.set_checksum(index, support.xxh3(bytes(data[offset:offset + size])))

    def test_installs_from_the_exe_and_its_volumes_found_beside_it(self):
        self.assertEqual(sorted(path.name for path in self.product_out.glob("*.bin")), VOLUME_NAMES)
        for name in ["Installer.exe"] + VOLUME_NAMES:
            self.assertLessEqual((self.product_out / name).stat().st_size, VOLUME_SIZE, name)
        # The signature covers the data after the image.
        verified = subprocess.run(["osslsigncode", "verify", "-CAfile", self.certificate,
                                   "-in", self.product_out / "Installer.exe"], capture_output=True, text=True)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        temp = self.use_temp_folder(self.work / "temp")
        # Started from another folder: the volumes are found beside the exe.
        elsewhere = self.work / "current folder"
        elsewhere.mkdir()
        program = self.start(self.private_copy(self.product_out, "download") / "Installer.exe", cwd=elsewhere)
        self.driver.dump()
        self.driver.click(IDC_CONTINUE)
        self.assertExitCode(program, 0, timeout=180)
        support.assert_installed_from_a_workspace(self, self.installed().get("OriginalDatabase", ""), temp)
        self.assertEqual(support.workspaces_in(temp), [], "the workspace was left behind")

    def test_damage_and_missing_or_foreign_volumes_end_before_msiexec_runs(self):
        self.use_temp_folder(self.work / "temp")
        # Another build of the same product, one file changed.
        other = products.build_product(bench.ARCH, bench.HOST_BUILD, self.work / "other build", self.product_settings,
                                       dict(self.product_files, **{"payload/Docs/Readme.txt": b"Changed\r\n"}))
        cases = [
            ("the exe's data", lambda folder: flip_byte(folder / "Installer.exe",
                                                       self.exe_data_offset(folder / "Installer.exe") + 5),
             "Verifying Data\\Maps\\Iron Vale\\level1.map", ERROR_CRC),
            # The package comes last in the payload, ending the last volume,
            # whose digest is checked first.
            ("a volume", lambda folder: flip_byte(folder / VOLUME_NAMES[-1],
                                                  (folder / VOLUME_NAMES[-1]).stat().st_size - 100),
             f"Verifying {VOLUME_NAMES[-1]}", ERROR_CRC),
            ("a forged volume, its file's checksum to match", self.forge_a_volume,
             f"Verifying {VOLUME_NAMES[-1]}", ERROR_CRC),
            ("a missing volume", lambda folder: (folder / VOLUME_NAMES[1]).unlink(),
             "Opening Installer-2.bin", ERROR_FILE_NOT_FOUND),
            ("a volume of another build", lambda folder: shutil.copy(other / VOLUME_NAMES[1], folder),
             "Opening Installer-2.bin", ERROR_INVALID_DATA),
        ]
        for index, (what, damage, text, code) in enumerate(cases):
            with self.subTest(what):
                folder = self.private_copy(self.product_out, f"damaged {index}")
                damage(folder)
                self.run_to_fatal_error(text, code, folder)
        self.assertEqual(self.installed(), {}, "msiexec ran")
