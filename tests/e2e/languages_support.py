"""What the language and install-state scenarios share: the products they
build, the texts a person should see in each language, and small steps on
top of the bench (start with a stored state, wait for a language switch)."""

import bench
from bench import (IDC_CONTINUE, IDC_EXIT, IDC_INSTALL, IDC_LANGUAGE, IDC_PLAY, IDC_README, IDC_STATIC,
                   IDC_UNINSTALL, IDC_WEBSITE, control)

# The disc of a game offered in thirteen languages, three of them in two
# regional variants (2057/1033, 1036/3084, 3082/2058).
OFFERED_IDS = "2057;1033;1036;1031;3082;1040;1030;1049;1045;3084;2058;1046;1043;"

# What the combo box offers for OFFERED_IDS: one entry per language.
OFFERED_NAMES = ["English", "Français", "Italiano", "Deutsch", "Español", "Dansk", "Nederlands",
                 "Português do Brasil", "Русский", "Polski"]

REGISTRY_KEY = r"Software\Quillmark\Skyforge2"
HKLM_KEY = "HKLM\\" + REGISTRY_KEY
PRODUCT_NAME = "Skyforge 2: Iron Vale"
GAME_EXE = "Skyforge2.exe"

# The texts of each layout, by culture code.
TEXTS = {
    "en": dict(install="Install", play="Play", uninstall="Uninstall", readme="View Readme", exit="Exit",
               website="{P}\nWebsite", select="Select installation language", cont="Continue"),
    "fr": dict(install="Installer", play="Lancer", uninstall="Désinstaller", readme="Lire le fichier LisezMoi",
               exit="Quitter", website="Site Web de\n{P}", select="Choisir langue d\u2019installation",
               cont="Continuer"),
    "de": dict(install="Installieren", play="Starten", uninstall="Deinstallieren", readme="Readme ansehen",
               exit="Verlassen", website="{P}\nWebseite", select="Wähle Installations Sprache", cont="Fortfahren"),
    "es": dict(install="Instalar", play="Iniciar", uninstall="Desinstalar", readme="Ver el archivo Readme (Léeme)",
               exit="Salir", website="Sitio web de\n{P}", select="Selecciona idioma de instalación",
               cont="Continuar"),
    "pt": dict(install="Instalar", play="Jogar", uninstall="Desinstalar", readme="Visualizar LeiaMe", exit="Sair",
               website="Website do {P}", select="Selecione o idioma de instalação", cont="Continuar"),
    "ru": dict(install="Установить", play="Играть", uninstall="Удалить", readme="Посмотреть README", exit="Выйти",
               website="Сайт игры\n{P}", select="Выберите язык установки", cont="Продолжить"),
    "hu": dict(install="Telepítés", play="Játék indítása", uninstall="Eltávolítás", readme="Olvassel megtekintése",
               exit="Kilépés", website="{P}\nhonlap", select="Válassza ki a telepítés nyelvét", cont="Tovább"),
    "ja": dict(install="インストール", play="プレイ", uninstall="アンインストール", readme="README を読む", exit="終了",
               website="{P}\n公式サイト", select="インストール言語を選択", cont="続行"),
}


def website_label(language, product_name):
    """The label of the website button: the first colon breaks the line."""
    label = TEXTS[language]["website"].replace("{P}", product_name, 1)
    return label.replace(":", ":\n", 1)


def worked_product(**overrides):
    """The launcher of the thirteen-language disc, one product name for all."""
    settings = dict(language_ids=OFFERED_IDS, product_names=(PRODUCT_NAME + ";") * OFFERED_IDS.count(";"),
                    registry_key=REGISTRY_KEY, game_exe=GAME_EXE)
    settings.update(overrides)
    return bench.base_product(**settings)


# ------------------------------------------------------------ prefix state

def store_language(prefix, lcid):
    prefix.reg_add(HKLM_KEY, "LanguageVal", lcid, kind="REG_DWORD")


def user_locale(prefix, extra_env=None):
    """The user locale Wine reports for programs started with extra_env."""
    completed = prefix.run(["reg", "query", r"HKCU\Control Panel\International", "/v", "Locale"],
                           extra_env=extra_env)
    return int(completed.stdout.split()[-1], 16)


# ------------------------------------------------------------ window checks

def wait_for(driver, condition, what, timeout=bench.WINDOW_TIMEOUT):
    """Reads the window until condition(window) holds; returns that window."""
    def satisfied():
        window = driver.dump()
        return window if condition(window) else None
    return bench.wait_until(satisfied, timeout, what)


def texts(window, ids):
    return {control_id: control(window, control_id)["text"] for control_id in ids}


def launcher_texts(language, product_name):
    table = TEXTS[language]
    return {IDC_INSTALL: table["install"], IDC_PLAY: table["play"], IDC_UNINSTALL: table["uninstall"],
            IDC_README: table["readme"], IDC_WEBSITE: website_label(language, product_name), IDC_EXIT: table["exit"]}


def installer_texts(language):
    table = TEXTS[language]
    return {IDC_STATIC: table["select"], IDC_CONTINUE: table["cont"], IDC_EXIT: table["exit"]}


def choose_language(driver, index, expected_texts):
    """Picks entry `index` of the language list and waits until every
    control shows the text expected for it."""
    driver.select(IDC_LANGUAGE, index)
    wait_for(driver, lambda window: texts(window, expected_texts) == expected_texts,
             f"the texts of language entry {index}: {expected_texts}")
    # A report is not taken at one instant: the focus is read before the
    # texts, so the report that saw the new texts may hold the focus from
    # before the switch. The next report sees the switch complete.
    return driver.dump()


def enable_states(window):
    return {name: control(window, control_id)["enabled"]
            for name, control_id in (("install", IDC_INSTALL), ("play", IDC_PLAY), ("uninstall", IDC_UNINSTALL),
                                     ("language", IDC_LANGUAGE))}


def cut_off_texts(scenario):
    """The texts of the scenario's window that do not fit their controls."""
    return [f"{entry['text']!r} of control {entry['id']} needs {entry['needed']} within {entry['available']}"
            for entry in scenario.driver.text_fit(scenario.exe) if not entry["fits"]]
