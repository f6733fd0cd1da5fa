"""The demo disc, Skyforge 2: Iron Vale, walked through as a player would on a
machine that never saw it: from the disc's Autorun.exe (read the readme,
switch the language, install, play), from the downloadable Installer.exe
(choose French, continue), and the launcher on a display scaled to 200 %. Pictures of each step are kept in
build/e2e/walkthrough/; docs/walkthrough.md shows them (set
LAUNCHER_WALKTHROUGH_DIR=docs/walkthrough to refresh those)."""

import os
import shutil
import subprocess
from pathlib import Path

import bench
import packages
import products
import shell_handlers
from bench import IDC_CONTINUE, IDC_INSTALL, IDC_LANGUAGE, IDC_PLAY, IDC_README, IDC_UNINSTALL, control
from shell_handlers import argument_of, same_windows_path

DEMO = bench.REPO / "products" / "demo"
PICTURES = Path(os.environ.get("LAUNCHER_WALKTHROUGH_DIR", bench.E2E_DIR / "walkthrough" / bench.ARCH))
REGISTRY_KEY = r"Software\Quillmark\Skyforge2"
PRODUCT_NAME = "Skyforge 2: Iron Vale"
# Installing runs the real Windows Installer, which takes its time under Wine.
INSTALL_TIMEOUT = 300


def build_demo(work):
    """The demo's package and exes, made in a copy of the product folder so
    that the repository's copy is left alone."""
    product = work / "demo"
    shutil.copytree(DEMO, product, ignore=shutil.ignore_patterns("*.msi"))
    env = products.build_environment(bench.ARCH, bench.HOST_BUILD, LAUNCHER_REPO=str(bench.REPO))
    products.run_checked([product / "make-package", "--arch", bench.ARCH], env=env, timeout=1200)
    return products.run_build_product(bench.ARCH, product, work / "out", env)


class DemoWalkthrough(bench.Scenario):
    @classmethod
    def setUpClass(cls):
        bench.require_bench_programs("wixl", f"{bench.ARCH}-w64-mingw32-gcc", "convert")
        cls.demo_out = build_demo(bench.class_folder(cls, "e2e-demo-"))

    def picture(self, name, window=None):
        """Keeps what the player sees: the screen, cut to the window when one
        is given and to what is not background otherwise."""
        shot = self.screenshot(name, window)
        PICTURES.mkdir(parents=True, exist_ok=True)
        subprocess.run(["convert", str(shot), *([] if window else ["-trim"]), "+repage", "-strip",
                        str(PICTURES / f"{name}.png")], check=True, timeout=60)

    def choose(self, name, control_id, text):
        """Picks a language by its name and waits for the window to speak it."""
        items = control(self.driver.dump(), IDC_LANGUAGE)["items"]
        self.driver.select(IDC_LANGUAGE, items.index(name))
        return self.driver.wait_control(control_id, "text", text)

    def assertOpenedOneOf(self, viewer, count, paths):
        opened = argument_of(viewer.wait_starts(count)[count - 1])
        self.assertTrue(any(same_windows_path(opened, self.windows_path(path)) for path in paths),
                        f"opened {opened}, expected one of {paths}")

    def installed_folder(self):
        return packages.installed_values(self.prefix, REGISTRY_KEY)["PathVal"]

    def host_path(self, windows_path):
        """Where a C: path of the prefix lies on this machine."""
        drive, _, rest = windows_path.partition(":")
        self.assertEqual(drive.upper(), "C", windows_path)
        return self.prefix.path / "drive_c" / Path(*rest.strip("\\").split("\\"))

    def test_from_the_disc_read_switch_language_install_and_play(self):
        self.driver = bench.UiDriver(self.prefix, "Autorun.exe")
        viewer = shell_handlers.Recorder(self.work / "viewer")
        handlers = shell_handlers.RegistryImport()
        for extension in (".txt", ".rtf"):
            handlers.associate(extension, viewer)
        handlers.apply(self.prefix, self.work)
        disc = self.demo_out / "disc"

        program = self.start(disc / "Autorun.exe", cwd=disc)
        window = self.driver.dump()
        self.picture("01-launcher", window)
        self.assertTrue(control(window, IDC_INSTALL)["enabled"])
        self.assertFalse(control(window, IDC_PLAY)["enabled"])

        # The readme of the language Windows speaks, English, comes from the
        # British or the American folder; in French from the French or the
        # Canadian one, as a rich-text file.
        self.driver.click(IDC_README)
        self.assertOpenedOneOf(viewer, 1, [disc / "Docs" / country / "Readme.txt" for country in ("GB", "US")])
        window = self.choose("Français", IDC_INSTALL, "Installer")
        self.picture("02-launcher-french", window)
        self.driver.click(IDC_README)
        self.assertOpenedOneOf(viewer, 2, [disc / "Docs" / country / "Readme.rtf" for country in ("FR", "CA")])

        # Every language the disc offers has its readme there.
        names = control(window, IDC_LANGUAGE)["items"]
        for index, name in enumerate(names):
            self.driver.select(IDC_LANGUAGE, index)
            self.driver.click(IDC_README)
            opened = argument_of(viewer.wait_starts(3 + index)[2 + index])
            folder = self.windows_path(disc / "Docs").lower() + "\\"
            self.assertTrue(opened.lower().startswith(folder), f"{name}: opened {opened}")
        window = self.choose("English", IDC_INSTALL, "Install")

        # English, the first entry, installs without a transform.
        self.driver.click(IDC_INSTALL)
        window = self.driver.wait_control(IDC_PLAY, "enabled", True, timeout=INSTALL_TIMEOUT)
        self.driver.wait_window("visible", True)
        window = self.driver.wait_control(IDC_PLAY, "focused", True)
        self.picture("03-launcher-installed", window)
        self.assertTrue(control(window, IDC_UNINSTALL)["enabled"])
        self.assertFalse(control(window, IDC_INSTALL)["enabled"])
        install_dir = self.installed_folder()

        # Installed, the readme comes from the game's own folder.
        self.driver.click(IDC_README)
        opened = argument_of(viewer.wait_starts(3 + len(names))[-1])
        self.assertTrue(same_windows_path(opened, install_dir + "Docs\\Readme.txt"), opened)

        self.driver.click(IDC_PLAY)
        self.assertExitCode(program, 0)
        game = bench.UiDriver(self.prefix, "Skyforge2.exe")
        boxes = game.wait_message_box()
        self.assertEqual(boxes[0]["text"], f"{PRODUCT_NAME} would start here.")
        self.picture("04-game-started")
        game.press_message_box_ok()

    def test_at_200_percent_the_launcher_is_drawn_at_twice_the_size(self):
        self.driver = bench.UiDriver(self.prefix, "Autorun.exe")
        self.prefix.reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", 192, kind="REG_DWORD")
        disc = self.demo_out / "disc"
        program = self.start(disc / "Autorun.exe", cwd=disc)
        window = self.driver.dump()
        self.picture("07-launcher-200-percent", window)
        # Twice the width the template's 242 dialog units take at 100 %
        # (six pixels to four units) and more, with the frame.
        self.assertGreater(window["rect"]["right"] - window["rect"]["left"], 2 * 242 * 6 // 4)
        self.assertTrue(control(window, IDC_INSTALL)["enabled"])
        self.press_exit(program)

    def test_from_the_installer_choose_french_and_continue(self):
        self.driver = bench.UiDriver(self.prefix, "Installer.exe")
        program = self.start(self.demo_out / "Installer.exe")
        window = self.driver.dump()
        self.picture("05-installer", window)
        window = self.choose("Français", IDC_CONTINUE, "Continuer")
        self.picture("06-installer-french", window)

        self.driver.click(IDC_CONTINUE)
        self.assertExitCode(program, 0, timeout=INSTALL_TIMEOUT)
        install_dir = self.installed_folder()
        self.assertTrue((self.host_path(install_dir) / "Skyforge2.exe").is_file(), f"no game in {install_dir}")
        self.assertTrue((self.host_path(install_dir) / "Docs" / "Readme.txt").is_file())
        # The French transform inside the package was applied: it sets the
        # language the launcher offers from now on.
        self.assertEqual(packages.installed_values(self.prefix, REGISTRY_KEY)["LanguageVal"], "1036")

        # The disc's launcher now offers Play.
        self.driver = bench.UiDriver(self.prefix, "Autorun.exe")
        disc = self.demo_out / "disc"
        launcher = self.start(disc / "Autorun.exe", cwd=disc)
        self.driver.wait_control(IDC_PLAY, "focused", True)
        self.press_exit(launcher)
