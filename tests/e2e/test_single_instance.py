"""Only one copy runs at a time: a second start ends at once, silently, and
leaves the first alone; once the first has ended, a new start comes up."""

import bench


class SingleInstance(bench.ProductScenario):
    product_settings = bench.base_product()

    def test_second_copy_ends_at_once_and_a_later_start_comes_up(self):
        first, window = self.open_launcher()
        # Wine's dialog trace shows whether a copy so much as built its window.
        second_trace = self.work / "second.log"
        second = self.start(self.exe, trace="+dialog", trace_path=second_trace)
        self.assertExitCode(second, 0)
        self.assertNotIn("dialog", second_trace.read_text(errors="replace"), "the second copy made a window")
        self.screenshot()
        # The first copy is untouched: same process, still answering.
        self.assertTrue(first.running())
        again = self.driver.dump()
        self.assertEqual(again["process_id"], window["process_id"])
        self.assertEqual(again["title"], window["title"])

        self.press_exit(first)
        self.driver.wait_gone()

        third_trace = self.work / "third.log"
        third = self.start(self.exe, trace="+dialog", trace_path=third_trace)
        window = self.driver.dump()
        self.assertTrue(window["visible"])
        self.assertIn("dialog", third_trace.read_text(errors="replace"), "the trace shows no dialog at all")
        self.press_exit(third)
