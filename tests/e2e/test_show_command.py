"""The show command the launcher was started with (here: minimized, as from a
shortcut) is applied to the window once it is fully set up."""

import bench
from bench import IDC_EXIT, IDC_INSTALL, IDC_LANGUAGE, IDC_WEBSITE, control


class ShowCommand(bench.ProductScenario):
    product_settings = bench.base_product()

    def test_started_minimized_the_window_is_iconic_with_its_texts_in_place(self):
        starter = self.start_minimized(self.exe)
        window = self.driver.wait_window("iconic", True)
        self.screenshot()
        self.assertTrue(window["visible"])
        self.assertEqual(window["title"], "Skyforge 2: Iron Vale")
        self.assertTrue(control(window, IDC_INSTALL)["text"])
        self.assertIn("Skyforge 2", control(window, IDC_WEBSITE)["text"])
        self.assertTrue(control(window, IDC_LANGUAGE)["items"])
        self.assertTrue(control(window, IDC_EXIT)["enabled"])
        self.driver.close_from_caption()
        self.assertExitCode(starter, 0)
