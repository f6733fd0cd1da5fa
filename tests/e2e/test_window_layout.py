"""The two window layouts as a person first sees them: the controls, their
texts, the tab order, a centred window that cannot be resized; at each
display scale, laid out in the template's proportions, inside the window
and the screen, with the art filling its frame."""

import subprocess

import bench
from bench import (IDC_CONTINUE, IDC_EXIT, IDC_INSTALL, IDC_LANGUAGE, IDC_PLAY, IDC_PROGRESS, IDC_README,
                   IDC_STATIC, IDC_UNINSTALL, IDC_WEBSITE, control)

WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_TABSTOP = 0x00010000

PRODUCT_NAME = "Skyforge 2: Iron Vale"
LAUNCHER_TAB_ORDER = [IDC_INSTALL, IDC_PLAY, IDC_UNINSTALL, IDC_README, IDC_WEBSITE, IDC_LANGUAGE, IDC_EXIT]

# Width and height of each control in dialog units, in creation order, as
# resources/launcher.rc lays them out; None for the combo boxes, whose height
# includes the dropped-down list.
LAUNCHER_UNITS = [(118, 222), (111, 219), (106, 17), (106, 17), (106, 17), (106, 17), (106, 32), (106, None),
                  (106, 17)]
INSTALLER_UNITS = [(56, 14), (54, 14), (218, None), (155, 8), (218, 8)]
# The dialog font's base units at 96 DPI on the bench (Liberation Sans 8 pt):
# one horizontal unit is a quarter of the first, one vertical an eighth of
# the second.
BASE_UNITS_AT_96 = (6, 12)
# The screen each scale must fit the window on.
SCREENS = {96: (1024, 768), 120: (1280, 720), 144: (1366, 768), 192: (1920, 1080)}


def size(rect):
    return rect["right"] - rect["left"], rect["bottom"] - rect["top"]


def screen_pixels(png, left, top, width, height):
    """The RGB triples of a part of a screenshot, row by row."""
    raw = subprocess.run(["convert", str(png), "-crop", f"{width}x{height}+{left}+{top}", "+repage", "-depth", "8",
                          "rgb:-"], check=True, capture_output=True, timeout=60).stdout
    return [raw[i:i + 3] for i in range(0, len(raw), 3)]


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

    def assertScaledLayout(self, window, units):
        """The controls have the template's sizes in the dialog font's base
        units; those grew with the DPI (each by less than a pixel more or
        less than the exact factor, as the font's pixel height rounds); no
        control is cut by the window's edge; the window fits the screen of
        its scale."""
        controls = window["controls"]
        self.assertEqual(len(controls), len(units))
        widths = [(size(c["rect"])[0], w) for c, (w, _) in zip(controls, units)]
        heights = [(size(c["rect"])[1], h) for c, (_, h) in zip(controls, units) if h]
        # Base units are whole pixels; the dialog manager rounds each size.
        base_x = round(4 * sum(px for px, _ in widths) / sum(du for _, du in widths))
        base_y = round(8 * sum(px for px, _ in heights) / sum(du for _, du in heights))
        factor = self.dpi / 96
        self.assertLessEqual(abs(base_x - BASE_UNITS_AT_96[0] * factor), 1, f"horizontal base unit {base_x}")
        self.assertLessEqual(abs(base_y - BASE_UNITS_AT_96[1] * factor), 1, f"vertical base unit {base_y}")
        for entry, (w, h) in zip(controls, units):
            width, height = size(entry["rect"])
            what = f"control {entry['id']} ({entry['class']}) is {width} x {height} at {self.dpi} DPI"
            self.assertAlmostEqual(width, w * base_x / 4, delta=2, msg=what)
            if h:
                self.assertAlmostEqual(height, h * base_y / 8, delta=2, msg=what)
            outer, inner = window["rect"], entry["rect"]
            self.assertTrue(outer["left"] <= inner["left"] and inner["right"] <= outer["right"]
                            and outer["top"] <= inner["top"] and inner["bottom"] <= outer["bottom"],
                            f"{what}: cut by the window's edge {outer}")
        screen_width, screen_height = SCREENS[self.dpi]
        width, height = size(window["rect"])
        self.assertTrue(width <= screen_width and height <= screen_height,
                        f"the window, {width} x {height}, does not fit a {screen_width} x {screen_height} screen")

    def assertArtFillsItsFrame(self, window, screenshot):
        """Inside the picture's sunken edge every pixel is the art's: none is
        the dialog's face colour, sampled just below the frame."""
        picture = window["controls"][1]["rect"]
        face = screen_pixels(screenshot, picture["left"] + 4, picture["bottom"] + 2, 1, 1)[0]
        width, height = size(picture)
        inside = screen_pixels(screenshot, picture["left"] + 1, picture["top"] + 1, width - 2, height - 2)
        bare = sum(pixel == face for pixel in inside)
        self.assertLess(bare, len(inside) / 100, f"{bare} of the frame's {len(inside)} pixels show no art")

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

    def assertArrowKeys(self, steps):
        """steps: (key, control): each arrow key, pressed on the keyboard,
        moves the focus to that control, never to one that takes no focus
        from Tab (the group frame, the picture, the label, the progress bar)."""
        for key, expected in steps:
            self.press_keys(key)
            self.driver.wait_control(expected, "focused", True)

    def assertScreenReaderNames(self, window, named_by_text, picture=None):
        """What a screen reader finds: the controls of named_by_text by their
        texts, and the picture (picture: its place in creation order) with
        no name, or with the product's."""
        names = self.driver.accessible_names()
        if picture is not None:
            self.assertIn(names[picture]["name"], (None, "", PRODUCT_NAME), "the picture's accessible name")
        by_id = {entry["id"]: entry["name"] for entry in names if entry["id"] in named_by_text}
        self.assertEqual(by_id, {control_id: control(window, control_id)["text"] for control_id in named_by_text})

    def test_the_launcher_opens_with_its_controls_and_tab_order(self):
        program, window = self.open_launcher()
        screenshot = self.screenshot()
        self.assertLayout(window, [(IDC_STATIC, "Button"), (IDC_STATIC, "Static"), (IDC_INSTALL, "Button"),
                                   (IDC_PLAY, "Button"), (IDC_UNINSTALL, "Button"), (IDC_README, "Button"),
                                   (IDC_WEBSITE, "Button"), (IDC_LANGUAGE, "ComboBox"), (IDC_EXIT, "Button")])
        self.assertScaledLayout(window, LAUNCHER_UNITS)
        self.assertArtFillsItsFrame(window, screenshot)
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
        # Up from the first button wraps to the last, Down from the last back
        # to the first, past the group frame and the picture.
        self.assertArrowKeys([("Up", IDC_EXIT), ("Down", IDC_INSTALL)])
        self.assertScreenReaderNames(window, [IDC_INSTALL, IDC_README, IDC_EXIT], picture=1)
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
        self.assertScaledLayout(window, INSTALLER_UNITS)
        for labelled in (IDC_CONTINUE, IDC_EXIT, IDC_STATIC):
            self.assertTrue(control(window, labelled)["text"].strip(), f"control {labelled} has no text")
        self.assertTrue(control(window, IDC_LANGUAGE)["items"], "the language list is empty")
        progress = control(window, IDC_PROGRESS)
        self.assertEqual(progress["position"], progress["range_low"], "progress before Continue")
        # The label and the progress bar take no focus.
        for passive in (IDC_STATIC, IDC_PROGRESS):
            self.assertFalse(control(window, passive)["style"] & WS_TABSTOP)
        self.assertTabCycle(window, [IDC_CONTINUE, IDC_EXIT, IDC_LANGUAGE])
        # Up from Continue wraps to the list, past the progress bar and the label.
        self.assertArrowKeys([("Up", IDC_CONTINUE), ("Up", IDC_LANGUAGE)])
        self.assertScreenReaderNames(window, [IDC_CONTINUE, IDC_EXIT, IDC_STATIC])
        self.assertTrue(program.running())


bench.at_scales(WindowLayouts, globals())
