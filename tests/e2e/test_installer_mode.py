"""Installer.exe: the player picks a language and presses Continue; the
payload is unpacked into a folder of the run's own under %TEMP%, msiexec runs
the package from there, the folder is removed and the program ends."""

import os
import subprocess

import bench
import installation_support as support
import packages
import products
from bench import IDC_CONTINUE, IDC_EXIT, IDC_LANGUAGE, IDC_PROGRESS, control

ERROR_LAUNCHING = "Error launching installation."
LARGE_PAYLOAD_BYTES = 256 * 1024 * 1024


class InstallerScenario(support.PackageScenario):
    exe_name = "Installer.exe"
    payload = support.NESTED_PAYLOAD

    def expected_files(self):
        """What the workspace holds once everything is unpacked."""
        files = dict(self.payload)
        files[support.PACKAGE_NAME] = self.product_files[f"payload/{support.PACKAGE_NAME}"]
        return files

    def start_installer(self):
        """Starts a private copy of Installer.exe and waits for its window."""
        program = self.start(self.private_copy(self.product_out, "download") / "Installer.exe")
        self.driver.dump()
        return program


class InstallerInstalls(InstallerScenario):
    """Signed, as a release is: the certificate table that signing appends
    to the exe must not disturb the payload."""

    @classmethod
    def extra_settings(cls, work):
        cls.certificate, key = products.code_signing_key(work, "e2e")
        os.environ["E2E_SIGNING_PASSWORD"] = "e2e"
        return {"signing": {"pkcs12": str(key), "password_env": "E2E_SIGNING_PASSWORD"}}

    def test_unpacks_installs_from_the_workspace_and_removes_it(self):
        verified = subprocess.run(["osslsigncode", "verify", "-CAfile", self.certificate,
                                   "-in", self.product_out / "Installer.exe"], capture_output=True, text=True)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        # A temporary folder with blanks in its path: the package path must
        # still reach msiexec as one argument.
        temp = self.use_temp_folder(self.work / "Local Settings" / "Temp Files")
        elsewhere = self.work / "current folder"
        elsewhere.mkdir()
        folder = self.private_copy(self.product_out, "download")
        planted_log, env = self.plant_msiexec(folder, elsewhere)
        program = self.start(folder / "Installer.exe", cwd=elsewhere, extra_env=env)
        self.driver.dump()
        self.driver.select(IDC_LANGUAGE, support.FRENCH_INDEX)
        self.driver.wait_control(IDC_LANGUAGE, "enabled", True)
        self.driver.click(IDC_CONTINUE)
        self.assertExitCode(program, 0, timeout=180)
        installed = self.installed()
        support.assert_installed_from_a_workspace(self, installed.get("OriginalDatabase", ""), temp)
        self.assertEqual(installed["Transforms"], support.FRENCH_TRANSFORMS)
        self.assertEqual(installed["LanguageVal"], support.FRENCH_LCID)
        self.assertTrue(installed["PathVal"].endswith("\\Quillmark\\Skyforge2\\"))
        self.assertEqual(support.workspaces_in(temp), [], "the workspace was left behind")
        # Neither the msiexec.exe beside Installer.exe nor the one in the
        # current folder ran.
        self.assertFalse(planted_log.exists(), planted_log.read_text() if planted_log.exists() else "")

    def test_msiexec_that_cannot_start_leaves_only_exit(self):
        temp = self.use_temp_folder(self.work / "temp")
        self.disable_msiexec()
        program = self.start_installer()
        self.driver.click(IDC_CONTINUE)
        # Wine's shell reports the missing program in a box of its own first.
        while (box := self.wait_message_box("Installer.exe", timeout=120))["text"] != ERROR_LAUNCHING:
            self.press_ok("Installer.exe")
            bench.wait_until(lambda: box not in self.message_boxes("Installer.exe"), bench.WINDOW_TIMEOUT,
                             "the shell's box to close")
        self.assertEqual(box["title"], "Error")
        self.screenshot()
        self.press_ok("Installer.exe")
        bench.wait_until(lambda: not self.message_boxes("Installer.exe"), bench.WINDOW_TIMEOUT,
                         "the message box to close")
        window = self.driver.wait_control(IDC_EXIT, "enabled", True)
        self.assertEqual(self.message_boxes("Installer.exe"), [], "a further message box came up")
        self.assertTrue(window["visible"])
        self.assertFalse(control(window, IDC_CONTINUE)["enabled"])
        self.assertFalse(control(window, IDC_LANGUAGE)["enabled"])
        self.assertTrue(program.running())
        self.press_exit(program)
        self.assertEqual(support.workspaces_in(temp), [])


class InstallerWithAFailingPackage(InstallerScenario):
    package_fails = True

    def test_a_failed_installation_still_ends_with_0_and_removes_the_workspace(self):
        temp = self.use_temp_folder(self.work / "temp")
        program = self.start_installer()
        self.driver.click(IDC_CONTINUE)
        box = self.wait_message_box("msiexec.exe", timeout=120)
        self.assertIn("cannot be installed", box["text"])
        # Wine's shell returns once msiexec waits for input, that is once its
        # message is up; the launcher hides its window right after that.
        self.driver.wait_window("visible", False)
        self.screenshot()

        # While msiexec shows its message, everything is unpacked and the
        # installer window is hidden, its progress bar at the end.
        workspace = support.workspace_of(temp)
        expected = self.expected_files()
        self.assertEqual(support.files_below(workspace), sorted(expected))
        for name, content in expected.items():
            self.assertEqual((workspace / name).read_bytes(), content, name)
        window = self.driver.dump()
        self.assertFalse(window["visible"])
        progress = control(window, IDC_PROGRESS)
        self.assertEqual(progress["range_high"], sum(len(c) for c in expected.values()) // 1024)
        # The bar counts every byte written: it ends full.
        self.assertEqual(progress["position"], progress["range_high"])

        self.press_ok("msiexec.exe")
        self.assertExitCode(program, 0, timeout=120)
        self.assertFalse(workspace.exists(), "the workspace was left behind")
        self.assertEqual(self.installed(), {})


class InstallerWithALargePayload(InstallerScenario):
    # Large enough that the unpacking is still running when a person looks
    # at the bar and presses Exit; the bar is polled, so no timing is assumed.
    # fault_tool lets the worker write in slices of 0.2 ms; the size leaves a
    # slice that a busy machine stretches to 100 ms short of nine tenths.
    payload = {"Data/world.pak": bytes(LARGE_PAYLOAD_BYTES)}

    def test_exit_while_unpacking_ends_with_0_and_leaves_no_workspace(self):
        temp = self.use_temp_folder(self.work / "temp")
        program = self.start_installer()
        # Continue, then Exit while the bar is seen between its ends, pressed
        # by fault_tool, which holds the worker meanwhile, so that no disk is
        # too fast for it.
        pressed_at = self.fault_tool("exit-mid-way", "Installer.exe", 120000, timeout=180)["pressed_at"]
        bench.log(f"Exit pressed with the progress bar at {pressed_at}")
        self.assertExitCode(program, 0, timeout=120)
        self.assertEqual(support.workspaces_in(temp), [], f"the workspace was left behind (Exit at {pressed_at})")
        self.assertEqual(self.installed(), {}, f"the package was installed (Exit at {pressed_at})")


class StarterProductInstalls(bench.Scenario):
    """A build engineer's first product: disc-launcher new, then the three
    commands its README.txt gives (wixl, transforms, build). Its installer
    installs in the second language, which its generated transform
    records."""

    exe_name = "Installer.exe"

    @classmethod
    def setUpClass(cls):
        bench.require_bench_programs("wixl")
        work = bench.class_folder(cls, "e2e-starter-")
        cls.starter = work / "starter"
        products.run_checked([products.DISC_LAUNCHER, "new", cls.starter])
        commands = (cls.starter / "README.txt").read_text().splitlines()
        wixl = next(line for line in commands if line.startswith("wixl "))
        subprocess.run(wixl, shell=True, cwd=cls.starter, check=True, capture_output=True)
        products.run_checked([products.DISC_LAUNCHER, "transforms", "."], cwd=cls.starter)
        products.run_checked([products.DISC_LAUNCHER, "build", "--arch", bench.ARCH, ".", "out"],
                             cwd=cls.starter)

    def test_installs_in_its_second_language(self):
        program = self.start(self.starter / "out" / "Installer.exe")
        language = control(self.driver.dump(), IDC_LANGUAGE)
        self.driver.select(IDC_LANGUAGE, language["items"].index("Français"))
        self.driver.wait_control(IDC_LANGUAGE, "enabled", True)
        self.screenshot("french")
        self.driver.click(IDC_CONTINUE)
        self.assertExitCode(program, 0, timeout=180)
        installed = packages.installed_values(self.prefix, r"Software\My Studio\My Game")
        self.assertEqual(installed.get("LanguageVal"), "1036", installed)
        self.assertTrue(installed["PathVal"].endswith("\\My Studio\\My Game\\"), installed)
