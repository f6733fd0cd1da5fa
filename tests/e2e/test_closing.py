"""Every way a person closes the launcher ends it with exit code 0; keys that
only look like closing (Escape, Enter) leave it open."""

import bench
from bench import IDC_EXIT, IDC_LANGUAGE

CLOSING_WAYS = {"exit button": lambda driver: driver.click(IDC_EXIT),
                "caption close box": lambda driver: driver.close_from_caption(),
                "alt-f4": lambda driver: driver.key("alt-f4")}


class ClosingTheLauncher(bench.ProductScenario):
    product_settings = bench.installer_product()
    product_files = bench.INSTALLER_FILES

    def test_every_way_of_closing_ends_either_layout_with_code_0(self):
        for exe_name in ("Autorun.exe", "Installer.exe"):
            for way, close in CLOSING_WAYS.items():
                with self.subTest(exe=exe_name, way=way):
                    program, _ = self.open_launcher(exe_name)
                    close(self.driver)
                    self.assertExitCode(program, 0)
                    self.driver.wait_gone()

    def test_escape_and_enter_leave_the_window_open(self):
        program, _ = self.open_launcher()
        self.driver.key("escape")
        # Put the focus on the language list, where Enter presses no button.
        self.tab_to(IDC_LANGUAGE)
        self.driver.key("enter")
        # Keys are handled in order: once a later Tab has moved the focus, the
        # Escape and the Enter before it have been handled too.
        self.driver.key("tab")
        self.driver.wait_control(IDC_EXIT, "focused", True)
        self.screenshot()
        self.assertTrue(program.running(), "the launcher ended on Escape or Enter")
        self.assertTrue(self.driver.dump()["visible"])
        self.press_exit(program)
