"""What Play, Uninstall and Website hand to the shell, seen by the programs the
shell really starts: recorders registered as the game, the package handler
and the browser."""

import bench
import shell_handlers
from bench import IDC_PLAY, IDC_UNINSTALL, IDC_WEBSITE, control
from shell_handlers import argument_of, same_windows_path

REGISTRY_KEY = r"Software\Quillmark\Skyforge2"
WEBSITE = "https://www.example.com/skyforge2?from=disc&lang=en"
PRODUCT_NAME = "Skyforge 2: Iron Vale"


def window_state(window):
    """What a person sees of the window, apart from the focus (a click moves
    it to the button clicked)."""
    return (window["title"], window["visible"],
            [(entry["id"], entry["text"], entry["enabled"], entry["visible"], entry.get("items"),
              entry.get("selection")) for entry in window["controls"]])


class Commands(shell_handlers.ShellScenario):
    product_settings = bench.base_product(registry_key=REGISTRY_KEY, website_url=WEBSITE)

    def install_game(self):
        """An installed game: PathVal names a folder (with a blank in its name)
        that holds the game, a recorder."""
        install_dir = self.work / "Program Files" / "Skyforge2"
        game = shell_handlers.Recorder(install_dir, "Skyforge2.exe")
        self.registry.product_values(REGISTRY_KEY, PathVal=bench.windows_path(install_dir) + "\\",
                                     LanguageVal=2057)
        return game

    def test_website_leaves_the_window_as_it_was_and_play_starts_the_game_once_it_is_gone(self):
        game = self.install_game()
        browser = self.recorder("browser")
        self.registry.associate("http", browser).associate("https", browser)
        program, before = self.open_disc(self.make_disc())
        self.assertTrue(control(before, IDC_PLAY)["enabled"], "the installed game offers no Play")

        self.driver.click(IDC_WEBSITE)
        self.assertEqual(argument_of(browser.wait_starts(1)[0]), WEBSITE)
        after = self.driver.dump()
        self.assertTrue(program.running(), "the launcher ended on Website")
        self.assertEqual(window_state(after), window_state(before))
        self.assertEqual(after["process_id"], before["process_id"])

        self.driver.click(IDC_PLAY)
        self.assertExitCode(program, 0)
        start = game.wait_starts(1)[0]
        self.assertTrue(same_windows_path(argument_of(start), bench.windows_path(game.exe)),
                        start["command_line"])
        self.assertTrue(same_windows_path(start["current_folder"], bench.windows_path(game.folder)),
                        f"the game started in {start['current_folder']}")
        self.assertNotIn(PRODUCT_NAME, start["visible_windows"], "the launcher's window was still up")
        self.assertEqual(len(browser.starts()), 1)

    def test_uninstall_hands_the_package_to_the_shell_and_ends_even_without_it(self):
        self.install_game()
        package_handler = self.recorder("package-handler")
        self.registry.associate(".msi", package_handler)
        disc = self.make_disc({"Skyforge2.msi": "stands in for the package\n"})

        program, window = self.open_disc(disc)
        self.assertTrue(control(window, IDC_UNINSTALL)["enabled"])
        self.driver.click(IDC_UNINSTALL)
        self.assertExitCode(program, 0)
        start = package_handler.wait_starts(1)[0]
        self.assertTrue(same_windows_path(argument_of(start), bench.windows_path(disc / "Skyforge2.msi")),
                        start["command_line"])

        # The same disc without its package: the shell cannot open it, and the
        # launcher ends all the same.
        (disc / "Skyforge2.msi").unlink()
        program, window = self.open_disc(disc)
        self.screenshot("installed")
        self.driver.click(IDC_UNINSTALL)
        self.assertExitCode(program, 0)
        self.assertEqual(len(package_handler.starts()), 1, "the missing package was opened")
