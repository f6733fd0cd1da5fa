"""Only one copy runs at a time: a second start ends at once, silently, and
leaves the first alone; once the first has ended, a new start comes up."""

import unittest

import bench
from bench import IDC_EXIT


class SingleInstance(bench.ProductScenario):
    product_settings = bench.base_product()

    def test_second_copy_ends_at_once_and_a_later_start_comes_up(self):
        first, window = self.open_launcher()
        second = self.start(self.exe)
        self.assertExitCode(second, 0)
        self.screenshot()
        # The first copy is untouched: same process, still answering.
        self.assertTrue(first.running())
        again = self.driver.dump()
        self.assertEqual(again["process_id"], window["process_id"])
        self.assertEqual(again["title"], window["title"])

        self.driver.click(IDC_EXIT)
        self.assertExitCode(first, 0)
        self.driver.wait_gone()

        third, window = self.open_launcher()
        self.assertTrue(window["visible"])
        self.driver.click(IDC_EXIT)
        self.assertExitCode(third, 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
