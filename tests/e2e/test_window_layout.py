"""The two window layouts as a person first sees them: the controls, their
texts, the tab order, a centred window that cannot be resized."""

import bench
from bench import (IDC_CONTINUE, IDC_EXIT, IDC_INSTALL, IDC_LANGUAGE, IDC_PLAY, IDC_PROGRESS, IDC_README,
                   IDC_STATIC, IDC_UNINSTALL, IDC_WEBSITE, control)

WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_TABSTOP = 0x00010000

PRODUCT_NAME = "Skyforge 2: Iron Vale"
LAUNCHER_TAB_ORDER = [IDC_INSTALL, IDC_PLAY, IDC_UNINSTALL, IDC_README, IDC_WEBSITE, IDC_LANGUAGE, IDC_EXIT]


class WindowLayouts(bench.ProductScenario):
    product_settings = bench.installer_product()
    product_files = bench.INSTALLER_FILES

    def assertLayout(self, window, controls):
        """A visible, centred window titled with the product's name that
        offers no resizing; controls: (id, class) in creation order, which is
        the tab order."""
        self.assertTrue(window["visible"])
        self.assertEqual(window["title"], PRODUCT_NAME)
        actual = [(entry["id"], entry["class"].lower()) for entry in window["controls"]]
        self.assertEqual(actual, [(control_id, name.lower()) for control_id, name in controls])
        rect, screen = window["rect"], window["screen"]
        self.assertAlmostEqual((rect["left"] + rect["right"]) / 2, (screen["left"] + screen["right"]) / 2, delta=24)
        self.assertAlmostEqual((rect["top"] + rect["bottom"]) / 2, (screen["top"] + screen["bottom"]) / 2, delta=24)
        self.assertEqual(window["style"] & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_THICKFRAME), 0,
                         "the caption offers resizing, minimising or maximising")

    def assertTabCycle(self, window, tab_order):
        """Tab moves through the enabled controls of tab_order, in that order,
        and comes back to where it started."""
        enabled = [cid for cid in tab_order if control(window, cid)["enabled"]]
        start = window["focus_id"]
        self.assertIn(start, enabled, "the first focus is not on an enabled control of the tab order")
        position = enabled.index(start)
        for step in range(1, len(enabled) + 1):
            expected = enabled[(position + step) % len(enabled)]
            self.driver.key("tab")
            self.driver.wait_control(expected, "focused", True)

    def test_the_launcher_opens_with_its_controls_and_tab_order(self):
        program, window = self.open_launcher()
        self.screenshot()
        self.assertLayout(window, [(IDC_STATIC, "Button"), (IDC_STATIC, "Static"), (IDC_INSTALL, "Button"),
                                   (IDC_PLAY, "Button"), (IDC_UNINSTALL, "Button"), (IDC_README, "Button"),
                                   (IDC_WEBSITE, "Button"), (IDC_LANGUAGE, "ComboBox"), (IDC_EXIT, "Button")])
        for button in (IDC_INSTALL, IDC_PLAY, IDC_UNINSTALL, IDC_README, IDC_EXIT):
            self.assertTrue(control(window, button)["text"].strip(), f"button {button} has no text")
        self.assertIn(PRODUCT_NAME.split(":")[0], control(window, IDC_WEBSITE)["text"])
        language = control(window, IDC_LANGUAGE)
        self.assertTrue(language["items"], "the language list is empty")
        self.assertGreaterEqual(language["selection"], 0)
        # Nothing is installed yet: Install leads, Play and Uninstall wait.
        self.assertTrue(control(window, IDC_INSTALL)["enabled"])
        self.assertFalse(control(window, IDC_PLAY)["enabled"])
        self.assertFalse(control(window, IDC_UNINSTALL)["enabled"])
        self.assertTrue(control(window, IDC_EXIT)["enabled"])
        self.assertTabCycle(window, LAUNCHER_TAB_ORDER)
        self.assertTrue(program.running())

    def test_installed_play_and_uninstall_take_their_turns_in_the_tab_order(self):
        # An installed game: the install folder in the registry, the game in it.
        game_folder = self.work / "Games" / "Skyforge 2"
        game_folder.mkdir(parents=True)
        (game_folder / "Skyforge2.exe").write_bytes(b"MZ")
        self.prefix.reg_add(r"HKLM\Software\Quillmark\Skyforge2", "PathVal", self.windows_path(game_folder) + "\\")
        program, window = self.open_launcher()
        self.screenshot()
        self.assertEqual(window["focus_id"], IDC_PLAY)
        self.assertTrue(control(window, IDC_UNINSTALL)["enabled"])
        self.assertTabCycle(window, LAUNCHER_TAB_ORDER)
        self.press_exit(program)

    def test_the_installer_opens_with_its_controls_and_tab_order(self):
        program, window = self.open_launcher("Installer.exe")
        self.screenshot()
        self.assertLayout(window, [(IDC_CONTINUE, "Button"), (IDC_EXIT, "Button"), (IDC_LANGUAGE, "ComboBox"),
                                   (IDC_STATIC, "Static"), (IDC_PROGRESS, "msctls_progress32")])
        for labelled in (IDC_CONTINUE, IDC_EXIT, IDC_STATIC):
            self.assertTrue(control(window, labelled)["text"].strip(), f"control {labelled} has no text")
        self.assertTrue(control(window, IDC_LANGUAGE)["items"], "the language list is empty")
        progress = control(window, IDC_PROGRESS)
        self.assertEqual(progress["position"], progress["range_low"], "progress before Continue")
        # The label and the progress bar take no focus.
        for passive in (IDC_STATIC, IDC_PROGRESS):
            self.assertFalse(control(window, passive)["style"] & WS_TABSTOP)
        self.assertTabCycle(window, [IDC_CONTINUE, IDC_EXIT, IDC_LANGUAGE])
        self.assertTrue(program.running())
