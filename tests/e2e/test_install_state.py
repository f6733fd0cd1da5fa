"""What the launcher offers follows what the registry and the disk say about
the game: Install before it is installed, Play and Uninstall afterwards."""

import bench
import languages_support as support
from bench import IDC_CONTINUE, IDC_EXIT, IDC_INSTALL, IDC_LANGUAGE, IDC_PLAY, control

NOT_INSTALLED = {"install": True, "play": False, "uninstall": False, "language": True}
INSTALLED = {"install": False, "play": True, "uninstall": True, "language": False}


class InstallState(bench.ProductScenario):
    # The payload's package is a stand-in that is never installed: its
    # transforms are not asked for.
    product_settings = support.worked_product(payload="payload", missing_transforms="warning")
    product_files = bench.INSTALLER_FILES

    def store_state(self, lcid, with_game):
        """A stored language and install folder (holding the game, or not
        yet); returns the folder."""
        folder = self.work / "Games" / "Skyforge2"
        folder.mkdir(parents=True)
        if with_game:
            (folder / support.GAME_EXE).write_bytes(b"MZ stands in for the game\n")
        # The package records its install folder with a trailing backslash.
        self.prefix.reg_add(support.HKLM_KEY, "PathVal", self.windows_path(folder) + "\\")
        support.store_language(self.prefix, lcid)
        return folder

    def assertInstallState(self, window, expected):
        self.assertEqual(support.enable_states(window), expected, bench.describe_window(window))
        leader = IDC_PLAY if expected["play"] else IDC_INSTALL
        self.assertEqual(window["focus_id"], leader, "the focus is not on the button that leads")

    def test_without_a_product_key_the_user_language_leads_to_install(self):
        german_user = {"LANG": "de_DE.UTF-8", "LC_ALL": "de_DE.UTF-8"}
        # Wine takes the user's language from the Unix locale.
        self.assertEqual(support.user_locale(self.prefix, german_user), 1031)
        self.open_launcher(extra_env=german_user)
        window = self.driver.dump()
        language = control(window, IDC_LANGUAGE)
        self.assertEqual(language["items"], support.OFFERED_NAMES)
        self.assertEqual(language["items"][language["selection"]], "Deutsch")
        self.assertTexts(window, support.launcher_texts("de", support.PRODUCT_NAME))
        self.assertInstallState(window, NOT_INSTALLED)

    def test_a_folder_without_the_game_is_not_installed_until_the_game_is_there(self):
        folder = self.store_state(1033, with_game=False)
        _, window = self.open_launcher()
        self.assertInstallState(window, NOT_INSTALLED)
        # The game appears (installed by other means); the next language
        # change looks at the disk afresh.
        (folder / support.GAME_EXE).write_bytes(b"MZ stands in for the game\n")
        window = support.choose_language(self.driver, 1, support.launcher_texts("fr", support.PRODUCT_NAME))
        self.assertInstallState(window, INSTALLED)

    def test_a_folder_with_the_game_offers_play_in_the_stored_language(self):
        self.store_state(1049, with_game=True)
        _, window = self.open_launcher()
        self.screenshot("russian", window)
        self.assertInstallState(window, INSTALLED)
        language = control(window, IDC_LANGUAGE)
        self.assertEqual(language["items"][language["selection"]], "Русский")
        self.assertTexts(window, support.launcher_texts("ru", support.PRODUCT_NAME))

    def test_the_installer_of_an_installed_game_keeps_its_language(self):
        self.store_state(1031, with_game=True)
        _, window = self.open_launcher("Installer.exe")
        language = control(window, IDC_LANGUAGE)
        self.assertFalse(language["enabled"], "the language of an installed game can still be changed")
        self.assertEqual(language["items"][language["selection"]], "Deutsch")
        self.assertTexts(window, support.installer_texts("de"))
        # Continue keeps the state the layout gave it; Exit leads.
        self.assertTrue(control(window, IDC_CONTINUE)["enabled"])
        self.assertEqual(window["focus_id"], IDC_EXIT)
