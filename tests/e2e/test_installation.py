"""Installing from the disc with the launcher: a real package, msiexec of the
prefix, the language's transform, and the window afterwards."""

import os
import subprocess

import bench
import installation_support as support
import packages
import shell_handlers
from bench import IDC_INSTALL, IDC_LANGUAGE, IDC_PLAY, IDC_README, IDC_UNINSTALL, control
from shell_handlers import argument_of, same_windows_path

DRIVE_CDROM = "5"
ROGUE_KEY = r"Software\Rogue\Game"


class DiscSteps:
    def open_disc(self, plant_msiexec=False, current_folder=None):
        """Starts Autorun.exe from the root of a private copy of the disc,
        beside the package, in the disc's folder (which has a blank in its
        name) or in `current_folder`."""
        disc = self.private_copy(self.product_out / "disc", "game disc")
        current_folder = current_folder or disc
        planted_log, env = self.plant_msiexec(disc, current_folder) if plant_msiexec else (None, None)
        program = self.start(disc / "Autorun.exe", cwd=current_folder, extra_env=env)
        return disc, program, self.driver.dump(), planted_log

    def install(self, language_index):
        self.driver.select(IDC_LANGUAGE, language_index)
        self.driver.wait_control(IDC_LANGUAGE, "enabled", True)
        self.driver.click(IDC_INSTALL)
        # The window is hidden while msiexec runs and shown again after it;
        # the refresh then enables Play, gives it the focus and enables
        # Uninstall, in that order, so the last of them says it is done.
        self.driver.wait_control(IDC_PLAY, "enabled", True, timeout=120)
        self.driver.wait_window("visible", True)
        return self.driver.wait_control(IDC_UNINSTALL, "enabled", True)

    def assertInstalledAndReadyToPlay(self, window):
        self.assertTrue(window["visible"])
        self.assertTrue(control(window, IDC_PLAY)["enabled"])
        self.assertTrue(control(window, IDC_PLAY)["focused"], "Play does not have the focus")
        self.assertTrue(control(window, IDC_UNINSTALL)["enabled"])
        self.assertFalse(control(window, IDC_INSTALL)["enabled"])


class InstallFromTheDisc(DiscSteps, support.PackageScenario):
    def assertInstallsFromTheDisc(self, language_index, transforms, lcid, current_folder=None):
        """Installs in the language of entry language_index: the system's
        msiexec runs the disc's package, with `transforms`, and the package
        records `lcid`, whatever the current folder holds."""
        disc, program, window, planted_log = self.open_disc(plant_msiexec=True, current_folder=current_folder)
        self.assertTrue(control(window, IDC_INSTALL)["enabled"])
        window = self.install(language_index)
        self.screenshot()
        self.assertInstalledAndReadyToPlay(window)
        installed = self.installed()
        self.assertEqual(installed["OriginalDatabase"], self.windows_path(disc / support.PACKAGE_NAME))
        self.assertEqual(installed["Transforms"], transforms)
        self.assertEqual(installed["LanguageVal"], lcid)
        self.assertEqual(packages.installed_values(self.prefix, ROGUE_KEY), {}, "the planted package was installed")
        # The msiexec.exe planted in the launcher's folder and the current
        # folder never ran.
        self.assertFalse(planted_log.exists(), planted_log.read_text() if planted_log.exists() else "")
        self.assertFalse((disc / "recorder.log").exists())
        self.press_exit(program)

    def test_install_in_the_first_language_runs_the_system_msiexec_on_the_disc_package(self):
        # The first language passes no transform.
        self.assertInstallsFromTheDisc(support.FIRST_LANGUAGE_INDEX, "", "1033")

    def test_install_in_french_from_a_hostile_current_folder_passes_the_embedded_transform(self):
        """Started with a downloads folder as its current folder, where another
        package of the same name lies: the disc's package is the one installed.
        The package's French transform sets the language it records."""
        downloads = self.work / "Downloads"
        downloads.mkdir()
        packages.build_package(downloads, "Rogue", ROGUE_KEY, "Rogue.exe", package_name=support.PACKAGE_NAME,
                               languages=("fr-fr",))
        self.assertInstallsFromTheDisc(support.FRENCH_INDEX, support.FRENCH_TRANSFORMS, support.FRENCH_LCID,
                                       current_folder=downloads)


class FailedInstallFromTheDisc(DiscSteps, support.PackageScenario):
    package_fails = True

    def test_a_failed_installation_shows_the_window_again_with_install_enabled(self):
        _, program, _, _ = self.open_disc()
        self.driver.click(IDC_INSTALL)
        box = self.wait_message_box("msiexec.exe", timeout=120)
        self.assertIn("cannot be installed", box["text"])
        # While the installer's own message is up, the launcher is hidden.
        self.driver.wait_window("visible", False)
        self.screenshot("installer-message")
        self.press_ok("msiexec.exe")
        self.driver.wait_window("visible", True, timeout=120)
        window = self.driver.wait_control(IDC_INSTALL, "enabled", True)
        self.screenshot()
        self.assertFalse(control(window, IDC_PLAY)["enabled"])
        self.assertFalse(control(window, IDC_UNINSTALL)["enabled"])
        self.assertEqual(self.installed(), {})
        self.assertTrue(program.running())
        self.press_exit(program)

    def test_msiexec_that_cannot_start_leaves_the_window_up_with_install_enabled(self):
        self.disable_msiexec()
        _, program, _, _ = self.open_disc()
        self.driver.click(IDC_INSTALL)
        # Wine's shell reports the missing program itself; the launcher adds
        # no message of its own and never hides its window.
        box = self.wait_message_box("Autorun.exe", timeout=120)
        self.assertNotEqual(box["text"], "Error launching installation.")
        self.assertTrue(self.driver.dump()["visible"])
        self.press_ok("Autorun.exe")
        self.driver.wait_control(IDC_INSTALL, "enabled", True)
        bench.wait_until(lambda: not self.message_boxes("Autorun.exe"), bench.WINDOW_TIMEOUT,
                         "the shell's box to close")
        window = self.driver.dump()
        self.screenshot()
        self.assertTrue(window["visible"])
        self.assertTrue(control(window, IDC_INSTALL)["enabled"])
        self.assertFalse(control(window, IDC_PLAY)["enabled"])
        self.assertEqual(self.message_boxes("Autorun.exe"), [])
        self.press_exit(program)


class InstallFromTheMasteredDisc(DiscSteps, support.PackageScenario):
    """The disc image the product build masters, in a CD-ROM drive D: of the
    prefix: read-only media, the launcher started from the drive's root."""

    payload = {"Docs/US/Readme.txt": b"Skyforge 2: Iron Vale\r\n"}

    @classmethod
    def extra_settings(cls, work):
        return {"disc_label": "SKYFORGE2"}

    def insert_disc(self):
        """Drive D:, a CD-ROM drive holding the image; returns its host folder.
        The image is mounted read-only where the bench may mount, else
        extracted into a folder without write permissions."""
        image, media = self.product_out / "disc.iso", self.work / "cdrom"
        media.mkdir()
        mount = ["mount", "-o", "loop,ro", str(image), str(media)]
        if os.geteuid() == 0 and subprocess.run(mount, capture_output=True).returncode == 0:
            self.addCleanup(subprocess.run, ["umount", "-l", str(media)], check=False)
        else:
            subprocess.run(["xorriso", "-osirrox", "on", "-indev", str(image), "-extract", "/", str(media)],
                           check=True, capture_output=True)
            subprocess.run(["chmod", "-R", "a-w", str(media)], check=True)
            self.addCleanup(subprocess.run, ["chmod", "-R", "u+w", str(media)], check=False)
        drive = self.prefix.path / "dosdevices" / "d:"
        if drive.is_symlink():
            drive.unlink()
        drive.symlink_to(media)
        # Wine's own settings are read by its 64-bit services.
        self.prefix.run(["reg", "add", r"HKLM\Software\Wine\Drives", "/v", "d:", "/d", "cdrom", "/f", "/reg:64"])
        # Wine reads the drives' kinds when the prefix's services start.
        self.prefix.shutdown()
        return media

    def test_view_readme_and_install_from_the_read_only_cdrom(self):
        media = self.insert_disc()
        self.assertEqual(self.fault_tool("drive-type", "D:\\")["drive_type"], DRIVE_CDROM)
        on_the_disc = support.files_below(media)
        self.assertIn(support.PACKAGE_NAME, on_the_disc)
        viewer = shell_handlers.Recorder(self.work / "viewer")
        shell_handlers.RegistryImport().associate(".txt", viewer).apply(self.prefix, self.work)

        program = self.start("D:\\Autorun.exe", cwd=media)
        self.driver.dump()
        self.driver.click(IDC_README)
        opened = argument_of(viewer.wait_starts(1)[0])
        self.assertTrue(same_windows_path(opened, "D:\\Docs\\US\\Readme.txt"), opened)

        window = self.install(support.FIRST_LANGUAGE_INDEX)
        self.screenshot()
        self.assertInstalledAndReadyToPlay(window)
        self.assertEqual(self.installed()["OriginalDatabase"], "D:\\" + support.PACKAGE_NAME)
        self.press_exit(program)
        self.assertEqual(support.files_below(media), on_the_disc, "something was written on the disc")
