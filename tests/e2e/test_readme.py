"""View Readme as the shell sees it: which document opens for each language,
before and after installation, in which format, and the notice when only a
PDF is there and nothing can open it."""

import bench
import products
import shell_handlers
from bench import IDC_LANGUAGE, IDC_README, control
from shell_handlers import argument_of, same_windows_path
from wine_prefix import windows_path

REGISTRY_KEY = r"Software\Quillmark\Skyforge2"

# Every language that has a documentation folder, with the folder's country
# code: each language in its European and, where one exists, its Americas
# variant.
COUNTRY_BY_LCID = {2057: "GB", 1036: "FR", 1040: "IT", 1031: "DE", 3082: "ES", 1030: "DK", 1053: "SE",
                   1043: "NL", 1044: "NO", 1033: "US", 3084: "CA", 2058: "MX", 1046: "BR", 1029: "CZ",
                   1045: "PL", 1038: "HU", 1049: "RU", 1041: "JP"}

# The folder each language-list entry opens, by the name it shows: with a
# European preference the European variants stand for their languages, with
# an Americas preference the Americas ones.
EUROPEAN_FOLDERS = {"English": "GB", "Français": "FR", "Italiano": "IT", "Deutsch": "DE", "Español": "ES",
                    "Dansk": "DK", "Svenska": "SE", "Nederlands": "NL", "Norsk": "NO", "Português do Brasil": "BR",
                    "Русский": "RU", "Polski": "PL", "Čeština": "CZ", "Magyar": "HU", "日本語": "JP"}
AMERICAS_FOLDERS = dict(EUROPEAN_FOLDERS, English="US", Français="CA", Español="MX")

ENGLISH_NAME = "Skyforge 2: Iron Vale"
FRENCH_NAME = "Skyforge 2 : le Val de Fer"


class ReadmeScenario(shell_handlers.ShellScenario):
    def viewer_for_documents(self):
        """One recorder behind .txt, .rtf and .pdf: the path it gets shows the
        format chosen."""
        viewer = self.recorder("viewer")
        for extension in (".txt", ".rtf", ".pdf"):
            self.registry.associate(extension, viewer)
        return viewer

    def prefer(self, lcid):
        """The language stored by an earlier installation run, which decides
        the variant each entry stands for; no PathVal, so nothing is installed."""
        self.registry.product_values(REGISTRY_KEY, LanguageVal=lcid)

    def open_readme(self, viewer, expected_path):
        """Presses View Readme and checks the one document the shell opened."""
        count = len(viewer.starts())
        self.driver.click(IDC_README)
        opened = argument_of(viewer.wait_starts(count + 1)[-1])
        self.assertTrue(same_windows_path(opened, windows_path(expected_path)),
                        f"opened {opened}, expected {expected_path}")


class ReadmeFolders(ReadmeScenario):
    product_settings = bench.base_product(
        registry_key=REGISTRY_KEY, language_ids="".join(f"{lcid};" for lcid in COUNTRY_BY_LCID),
        product_names=f"{ENGLISH_NAME};" * len(COUNTRY_BY_LCID))

    def test_each_language_opens_its_country_folder_then_the_install_folder(self):
        viewer = self.viewer_for_documents()
        disc = self.make_disc({f"Docs/{code}/Readme.txt": f"readme {code}\n" for code in COUNTRY_BY_LCID.values()})
        # An Americas preference first, then a European one, which stays.
        for preference, folders in ((1033, AMERICAS_FOLDERS), (2057, EUROPEAN_FOLDERS)):
            with self.subTest(LanguageVal=preference):
                self.prefer(preference)
                program, window = self.open_disc(disc)
                names = control(window, IDC_LANGUAGE)["items"]
                self.assertEqual(sorted(names), sorted(folders))
                for index, name in enumerate(names):
                    self.driver.select(IDC_LANGUAGE, index)
                    self.open_readme(viewer, disc / "Docs" / folders[name] / "Readme.txt")
                if preference == 1033:
                    self.press_exit(program)

        # PathVal without the game: not installed, yet the country folders
        # are now looked for below PathVal, not in the current folder.
        install_dir = self.work / "Program Files" / "Skyforge2"
        products.write_files(install_dir, {"Docs/GB/Readme.txt": "installed folder, GB\n"})
        shell_handlers.RegistryImport().product_values(
            REGISTRY_KEY, PathVal=windows_path(install_dir) + "\\").apply(self.prefix, self.work)
        self.driver.select(IDC_LANGUAGE, names.index("English"))
        self.open_readme(viewer, install_dir / "Docs" / "GB" / "Readme.txt")

        # Once the game is there, the one readme of the installation opens,
        # whatever the language.
        products.write_files(install_dir, {"Skyforge2.exe": "the game\n", "Docs/Readme.txt": "installed\n"})
        self.open_readme(viewer, install_dir / "Docs" / "Readme.txt")
        self.driver.select(IDC_LANGUAGE, names.index("Français"))
        self.open_readme(viewer, install_dir / "Docs" / "Readme.txt")
        self.press_exit(program)


class ReadmeFormats(ReadmeScenario):
    product_settings = bench.base_product(registry_key=REGISTRY_KEY, language_ids="2057;1036;",
                                          product_names=f"{ENGLISH_NAME};{FRENCH_NAME};")

    def switch_language(self, name, readme_text):
        self.driver.select(IDC_LANGUAGE, self.names.index(name))
        self.driver.wait_control(IDC_README, "text", readme_text)

    def test_text_before_rich_text_before_pdf(self):
        viewer = self.viewer_for_documents()
        self.prefer(2057)
        docs = self.work / "disc" / "Docs" / "GB"
        disc = self.make_disc({f"Docs/GB/Readme.{extension}": f"{extension}\n" for extension in ("txt", "rtf", "pdf")})
        program, window = self.open_disc(disc)
        self.names = control(window, IDC_LANGUAGE)["items"]
        self.open_readme(viewer, docs / "Readme.txt")

        # A folder where the text file should be does not count as one.
        (docs / "Readme.txt").unlink()
        (docs / "Readme.txt").mkdir()
        self.open_readme(viewer, docs / "Readme.rtf")

        (docs / "Readme.rtf").unlink()
        self.open_readme(viewer, docs / "Readme.pdf")

        # No document at all: nothing opens and nothing is said. Messages are
        # handled in order, so once a later language switch shows, the click
        # before it has been handled.
        (docs / "Readme.pdf").unlink()
        self.driver.click(IDC_README)
        self.switch_language("Français", "Lire le fichier LisezMoi")
        self.switch_language("English", "View Readme")
        (docs / "Readme.txt").rmdir()
        (docs / "Readme.txt").write_text("back\n")
        self.open_readme(viewer, docs / "Readme.txt")
        self.assertEqual(len(viewer.starts()), 4, viewer.starts())
        self.assertEqual(self.driver.message_boxes(), [])
        self.press_exit(program)

    def test_a_pdf_without_a_reader_brings_the_notice_at_every_click(self):
        viewer = self.viewer_for_documents()
        self.registry.remove_file_type(".pdf")
        self.prefer(2057)
        disc = self.make_disc({"Docs/GB/Readme.pdf": "pdf\n", "Docs/FR/Readme.pdf": "pdf\n"})
        program, window = self.open_disc(disc)
        names = control(window, IDC_LANGUAGE)["items"]

        for language, product_name in (("English", ENGLISH_NAME), ("Français", FRENCH_NAME)):
            self.driver.select(IDC_LANGUAGE, names.index(language))
            self.driver.click(IDC_README)
            boxes = self.driver.wait_message_box()
            self.screenshot(f"notice-{language}")
            self.assertEqual(len(boxes), 1, boxes)
            self.assertEqual(boxes[0]["title"], product_name)
            self.assertTrue(boxes[0]["text"].startswith(
                f"The {product_name} eManual requires Adobe Reader 7.0 or later to view."), boxes[0]["text"])
            self.assertEqual(len(boxes[0]["buttons"]), 1, boxes[0]["buttons"])
            self.driver.press_message_box_ok()
            bench.wait_until(lambda: not self.driver.message_boxes(), bench.WINDOW_TIMEOUT, "the notice to close")

        # With a text readme beside it, the text opens and the notice stays away.
        (disc / "Docs" / "FR" / "Readme.txt").write_text("texte\n")
        self.open_readme(viewer, disc / "Docs" / "FR" / "Readme.txt")
        self.assertEqual(self.driver.message_boxes(), [])
        self.assertEqual(len(viewer.starts()), 1, viewer.starts())
        self.press_exit(program)
