"""The UI driver itself, against the stand-in dialog: it must read any script
exactly and refuse what a person could not do, or every scenario built on it
could pass for the wrong reason."""

import bench
from bench import IDC_LANGUAGE, IDC_PLAY, IDC_UNINSTALL, control

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

        self.driver.click(IDC_PLAY)  # the stand-in greys Play out when pressed
        self.driver.wait_control(IDC_PLAY, "enabled", False)

        self.press_exit(program)
        self.driver.wait_gone()
        gone = self.driver.run("dump", timeout=1, check=False)
        self.assertFalse(gone["ok"])
