"""The language a person sees: the one stored at installation, or the user's
own, chosen from the offered ones; and a change in the language list that
switches the whole window at once, with every text of all fifteen languages
fitting its control at every display scale."""

import bench
import languages_support as support
from bench import IDC_LANGUAGE, control

# The stored preference, the combo box entry it selects and the language the
# window speaks. Americas variants and the others of one language meet in one
# entry; Japanese is not offered, so the first entry stands in.
STORED_PREFERENCES = [
    (1033, 0, "en"),
    (2057, 0, "en"),
    (3084, 1, "fr"),
    (2058, 4, "es"),
    (1031, 3, "de"),
    (1046, 7, "pt"),
    (1041, 0, "en"),
]

# A disc that offers every language of the catalogue, with the product's
# name translated.
TOUR_IDS = support.OFFERED_IDS + "1041;1053;1044;1029;1038;"
TOUR_NAMES = {
    2057: support.PRODUCT_NAME, 1033: support.PRODUCT_NAME,
    1036: "Skyforge 2 : Val de Fer", 3084: "Skyforge 2 : Val de Fer",
    1031: "Skyforge 2: Eisental", 3082: "Skyforge 2: Valle de Hierro", 2058: "Skyforge 2: Valle de Hierro",
    1040: "Skyforge 2: Valle di Ferro", 1030: "Skyforge 2: Jerndal", 1049: "Скайфордж 2: Железная долина",
    1045: "Skyforge 2: Żelazna Dolina", 1046: "Skyforge 2: Vale de Ferro", 1043: "Skyforge 2: IJzerdal",
    1053: "Skyforge 2: Järndalen", 1044: "Skyforge 2: Jerndalen", 1029: "Skyforge 2: Železné údolí",
    1038: "Skyforge 2: Vasvölgy",
    # A full-width colon breaks no line.
    1041: "スカイフォージ２：鉄の谷",
}
TOUR_NAMES_TEXT = "".join(TOUR_NAMES[int(lcid)] + ";" for lcid in TOUR_IDS.split(";")[:-1])
TOUR_ENTRIES = ["English", "Français", "Italiano", "Deutsch", "Español", "Dansk", "Svenska", "Nederlands", "Norsk",
                "Português do Brasil", "Русский", "Polski", "Čeština", "Magyar", "日本語"]

# Entry of the tour's language list, its language, its LCID and how it is
# chosen: picked by the driver, by three Down presses on the keyboard in the
# list, or by a mouse click in the dropped-down list.
JAPANESE = (14, "ja", 1041)
TOUR_STOPS = [(0, "en", 2057, "pick"), (3, "de", 1031, "keys"), (1, "fr", 1036, "mouse"), (10, "ru", 1049, "pick"),
              (13, "hu", 1038, "pick")]
# The other entries, where only the fit of the texts is measured.
FIT_STOPS = [(2, 1040), (3, 1031), (4, 3082), (5, 1030), (6, 1053), (7, 1043), (8, 1044), (9, 1046), (11, 1045),
             (12, 1029)]


class StoredLanguage(bench.ProductScenario):
    product_settings = support.worked_product()

    def test_each_stored_preference_selects_its_language(self):
        for lcid, entry, language in STORED_PREFERENCES:
            with self.subTest(LanguageVal=lcid):
                support.store_language(self.prefix, lcid)
                program, window = self.open_launcher()
                cut_off = support.cut_off_texts(self)
                self.screenshot(f"{lcid}", window)
                # Closed before the checks, so that a failed check leaves
                # no launcher behind to refuse the next start.
                self.press_exit(program)
                self.driver.wait_gone()
                combo = control(window, IDC_LANGUAGE)
                self.assertEqual(combo["items"], support.OFFERED_NAMES)
                self.assertEqual(combo["selection"], entry)
                self.assertEqual(window["title"], support.PRODUCT_NAME)
                self.assertTexts(window, support.launcher_texts(language, support.PRODUCT_NAME))
                if language == "en":
                    # The colon of the name breaks the label into three lines.
                    self.assertEqual(control(window, bench.IDC_WEBSITE)["text"], "Skyforge 2:\n Iron Vale\nWebsite")
                self.assertEqual(cut_off, [])


class LanguageTour(bench.ProductScenario):
    """Both layouts, opened in Japanese and switched through English, German,
    French, Russian and Hungarian, then through the other languages; a
    picture of each of the first is kept. German is reached from the
    keyboard: three Down presses in the list, closed in the launcher and
    dropped down in the installer, which leave the player in the list."""

    # The payload's package is a stand-in that is never installed: its
    # transforms are not asked for.
    product_settings = support.worked_product(language_ids=TOUR_IDS, product_names=TOUR_NAMES_TEXT,
                                              payload="payload", missing_transforms="warning")
    product_files = bench.INSTALLER_FILES

    def tour(self, expected_texts, name, leading_control, keys_in_dropped_list):
        """Opens the window in Japanese, then chooses each stop of the tour in
        the language list; every time the title and every text follow."""
        support.store_language(self.prefix, JAPANESE[2])
        _, window = self.open_launcher()
        for entry, language, lcid, how in [JAPANESE + ("opened",)] + TOUR_STOPS:
            with self.subTest(language=language, chosen_by=how):
                expected = expected_texts(language, lcid)
                dropped = how == "keys" and keys_in_dropped_list
                if how == "pick":
                    window = support.choose_language(self.driver, entry, expected)
                elif how == "keys":
                    window = self.step_down_the_list(entry, expected, dropped)
                elif how == "mouse":
                    window = self.click_in_the_dropped_list(entry, expected)
                    # A mouse choice passes the focus on, as start-up does.
                    self.assertEqual(window["focus_id"], leading_control)
                self.assertLanguage(window, entry, lcid, expected)
                self.assertEqual(support.cut_off_texts(self), [])
                # The dropped-down list hangs below the window.
                self.screenshot(f"{name}-{language}", None if dropped else window)
                if dropped:
                    self.press_keys("Return")
                    window = support.wait_for(self.driver, lambda window: not control(window, IDC_LANGUAGE)["dropped"],
                                              "the list to close on Return")
                    self.assertLanguage(window, entry, lcid, expected)
        for entry, lcid in FIT_STOPS:
            with self.subTest(LCID=lcid):
                self.driver.select(IDC_LANGUAGE, entry)
                # The title changes first; once it shows, the texts have followed.
                support.wait_for(self.driver, lambda window: window["title"] == TOUR_NAMES[lcid],
                                 f"the title of entry {entry}")
                self.assertEqual(support.cut_off_texts(self), [])

    def step_down_the_list(self, entry, expected, dropped):
        """Tabs to the language list, drops it down when asked to, and
        presses Down three times: the texts follow each step, and the list
        keeps the focus and stays as it was, open or closed."""
        self.tab_to(IDC_LANGUAGE)
        if dropped:
            self.press_keys("alt+Down")
            support.wait_for(self.driver, lambda window: control(window, IDC_LANGUAGE)["dropped"], "the list to drop")
        self.press_keys("Down", "Down", "Down")
        support.wait_for(self.driver, lambda window: control(window, IDC_LANGUAGE)["selection"] == entry
                         and support.texts(window, expected) == expected, f"the texts of entry {entry}")
        window = self.driver.dump()
        self.assertEqual(window["focus_id"], IDC_LANGUAGE)
        self.assertEqual(control(window, IDC_LANGUAGE)["dropped"], dropped)
        return window

    def click_in_the_dropped_list(self, entry, expected):
        """Drops the list with the mouse and clicks entry `entry` in it."""
        self.driver.mouse_click(IDC_LANGUAGE)
        support.wait_for(self.driver, lambda window: control(window, IDC_LANGUAGE)["dropped"], "the list to drop")
        self.driver.mouse_choose(IDC_LANGUAGE, entry)
        support.wait_for(self.driver, lambda window: support.texts(window, expected) == expected,
                         f"the texts of entry {entry}")
        return self.driver.dump()

    def assertLanguage(self, window, entry, lcid, expected):
        self.assertEqual(window["title"], TOUR_NAMES[lcid])
        combo = control(window, IDC_LANGUAGE)
        self.assertEqual(combo["items"], TOUR_ENTRIES)
        self.assertEqual(combo["selection"], entry)
        self.assertTexts(window, expected)

    def test_the_launcher_follows_the_chosen_language(self):
        self.tour(lambda language, lcid: support.launcher_texts(language, TOUR_NAMES[lcid]), "launcher",
                  bench.IDC_INSTALL, keys_in_dropped_list=False)

    def test_the_installer_follows_the_chosen_language(self):
        self.exe_name = self.driver.exe_name = "Installer.exe"
        self.tour(lambda language, lcid: support.installer_texts(language), "installer", bench.IDC_EXIT,
                  keys_in_dropped_list=True)


bench.at_scales(LanguageTour, globals())
