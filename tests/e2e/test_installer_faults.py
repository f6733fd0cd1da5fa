"""Installer.exe when unpacking cannot go on: the fatal error box names the
operation, the system's error code and text, the exit code is that code and
the workspace stays on disk. Also what must never be touched: files outside
the workspace reached through a link, and a workspace left behind after
Exit."""

import os

import installation_support as support
from bench import IDC_CONTINUE, IDC_EXIT

# Bigger than the small disk below, so that a write fails on it.
MOVIE_BYTES = 3 * 1024 * 1024
PAYLOAD = dict(support.NESTED_PAYLOAD, **{"Data/Movies/intro.bik": b"\x5a" * MOVIE_BYTES})


class InstallerFaults(support.PackageScenario):
    exe_name = "Installer.exe"
    payload = PAYLOAD

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
