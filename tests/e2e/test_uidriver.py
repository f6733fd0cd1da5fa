"""The UI driver itself, against the stand-in dialog: it must read any script
exactly and refuse what a person could not do, or every scenario built on it
could pass for the wrong reason."""

import bench
from bench import IDC_INSTALL, IDC_LANGUAGE, IDC_PLAY, IDC_UNINSTALL, IDC_WEBSITE, control

TITLE = "Stand-in \u0421\u043a\u0430\u0439 \u30b9\u30ab\u30a4"
ITEMS = ["English", "\u0420\u0443\u0441\u0441\u043a\u0438\u0439", "\u65e5\u672c\u8a9e"]


class UiDriverOnTheStandIn(bench.Scenario):
    exe_name = "standin.exe"

    @classmethod
    def setUpClass(cls):
        bench.require_bench_programs()

    def test_reads_texts_lists_and_states_and_acts_like_a_person(self):
        program = self.start(bench.BENCH_BIN / "standin.exe", cwd=self.work)
        window = self.driver.dump()
        self.screenshot()
        self.assertEqual(window["title"], TITLE)
        self.assertEqual(control(window, IDC_LANGUAGE)["items"], ITEMS)
        self.assertEqual(control(window, IDC_LANGUAGE)["selection"], 0)
        self.assertFalse(control(window, IDC_UNINSTALL)["enabled"])

        # A person cannot press a greyed-out button: neither can the driver.
        refused = self.driver.run("click", IDC_UNINSTALL, check=False)
        self.assertFalse(refused["ok"])
        self.assertIn("disabled", refused["error"])

        self.driver.select(IDC_LANGUAGE, 2)
        window = self.driver.wait_control(IDC_LANGUAGE, "text", ITEMS[2])
        self.assertEqual(control(window, IDC_LANGUAGE)["selection"], 2)

        # An entry of a closed list cannot be clicked; of a dropped-down one it can.
        refused = self.driver.run("mouse-choose", IDC_LANGUAGE, 1, check=False)
        self.assertFalse(refused["ok"])
        self.assertIn("not dropped down", refused["error"])
        self.driver.mouse_click(IDC_LANGUAGE)
        bench.wait_until(lambda: control(self.driver.dump(), IDC_LANGUAGE)["dropped"], bench.WINDOW_TIMEOUT,
                         "the list to drop down")
        self.driver.mouse_choose(IDC_LANGUAGE, 1)
        window = self.driver.wait_control(IDC_LANGUAGE, "text", ITEMS[1])
        self.assertFalse(control(window, IDC_LANGUAGE)["dropped"])

        # What a screen reader reads is each button's text.
        names = {entry["id"]: entry["name"] for entry in self.driver.accessible_names()}
        self.assertEqual([names[IDC_INSTALL], names[IDC_WEBSITE]], ["Install", "Visit the website"])

        self.driver.click(IDC_PLAY)  # the stand-in greys Play out when pressed
        self.driver.wait_control(IDC_PLAY, "enabled", False)

        self.press_exit(program)
        self.driver.wait_gone()
        gone = self.driver.run("dump", timeout=1, check=False)
        self.assertFalse(gone["ok"])
