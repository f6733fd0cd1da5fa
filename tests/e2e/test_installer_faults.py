"""Installer.exe when unpacking cannot go on: the fatal error box names the
operation, the system's error code and text, the exit code is that code and
the workspace stays on disk. Also what must never be touched: files outside
the workspace reached through a link, and a workspace left behind after
Exit. And damage: every payload byte is checked against its checksum before
msiexec sees it, in the exe's resources, after its image and in the volumes
beside it."""

import os
import random
import shutil
import struct
import subprocess

import bench
import installation_support as support
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
        # Every lookup comes before the first write: the workspace is there,
        # re-created and empty.
        workspace = support.workspace_of(temp)
        self.assertTrue(workspace.is_dir())
        self.assertEqual(support.files_below(workspace), [])

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
        self.assertFalse(support.workspace_of(temp).exists(), "the workspace was left behind")

    def test_a_full_disk(self):
        temp = self.use_temp_folder(self.mount_small_disk(self.work / "small disk", "2m"))
        self.run_to_fatal_error("WriteFile", support.ERROR_DISK_FULL)
        self.assertTrue(support.workspace_of(temp).is_dir(), "the workspace was removed")
        self.assertTrue(support.files_below(support.workspace_of(temp)), "nothing was written")

    def test_a_left_over_workspace_that_cannot_be_emptied(self):
        temp = self.use_temp_folder(self.work / "temp")
        workspace = support.workspace_of(temp)
        workspace.mkdir()
        # A read-only file named like a payload sub-folder survives the
        # emptying, and so the workspace cannot be created afresh.
        blocker = workspace / "Data"
        blocker.write_text("left over")
        blocker.chmod(0o444)
        # A link to a folder outside: the emptying must not reach through it.
        outside = self.work / "Saved Games"
        (outside / "Slot 1").mkdir(parents=True)
        (outside / "Slot 1" / "save.dat").write_bytes(b"progress")
        (outside / "options.ini").write_text("volume=7")
        os.symlink(outside, workspace / "Saves")

        self.run_to_fatal_error("CreateDirectory", support.ERROR_ALREADY_EXISTS)
        self.assertEqual(support.files_below(outside), ["Slot 1/save.dat", "options.ini"])
        self.assertEqual(blocker.read_text(), "left over")

        # Exit before Continue removes a left-over workspace too, again
        # without reaching through the link.
        program = self.start(self.private_copy(self.product_out, "again") / "Installer.exe")
        self.driver.dump()
        self.press_exit(program)
        self.assertEqual(support.files_below(outside), ["Slot 1/save.dat", "options.ini"])


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
        self.assertEqual(self.installed().get("OriginalDatabase"),
                         self.windows_path(support.workspace_of(temp) / support.PACKAGE_NAME))
        self.assertFalse(support.workspace_of(temp).exists(), "the workspace was left behind")

    def test_damage_and_missing_or_foreign_volumes_end_before_msiexec_runs(self):
        self.use_temp_folder(self.work / "temp")
        # Another build of the same product, one file changed.
        other = products.build_product(bench.ARCH, bench.HOST_BUILD, self.work / "other build", self.product_settings,
                                       dict(self.product_files, **{"payload/Docs/Readme.txt": b"Changed\r\n"}))
        cases = [
            ("the exe's data", lambda folder: flip_byte(folder / "Installer.exe",
                                                       self.exe_data_offset(folder / "Installer.exe") + 5),
             "Verifying Data\\Maps\\Iron Vale\\level1.map", ERROR_CRC),
            # The package comes last in the payload: in the last volume.
            ("a volume", lambda folder: flip_byte(folder / VOLUME_NAMES[-1],
                                                  (folder / VOLUME_NAMES[-1]).stat().st_size - 100),
             f"Verifying {support.PACKAGE_NAME}", ERROR_CRC),
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
