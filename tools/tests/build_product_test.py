#!/usr/bin/env python3
"""End-to-end checks of disc-launcher build and check: builds products with
the installed layout of the checkout (build/stage, made by scripts/stage)
and reads the resulting exes back, resource by resource.

LAUNCHER_STAGE names another installation (its bin/disc-launcher runs); the
tests need wixl for their packages."""
import hashlib
import json
import os
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from xml.etree import ElementTree

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
# The tests' one reader of exes lives with the end-to-end bench.
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
import compound_file  # noqa: E402
import pe_resources  # noqa: E402
STAGE = os.environ.get("LAUNCHER_STAGE") or os.path.join(REPO, "build", "stage")
DISC_LAUNCHER = os.path.join(STAGE, "bin", "disc-launcher")
# The Windows tool with its prebuilt files, as the Windows zip holds them
# (scripts/stage --windows, or an unpacked zip).
WINDOWS_STAGE = os.environ.get("LAUNCHER_WINDOWS_STAGE") or os.path.join(REPO, "build", "stage-windows")

RT_BITMAP, RT_ICON, RT_STRING, RT_RCDATA, RT_GROUP_ICON, RT_VERSION = 2, 3, 6, 10, 14, 16
RT_MANIFEST = 24
UK, US = 2057, 1033
# What the exes import: only what the loader brings in for any program.
# The shell, the common controls and what they pull in (ole32, shcore) are
# loaded at run time, once the library search is restricted.
LOADER_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
IMAGE_DLLCHARACTERISTICS = {"high-entropy ASLR": 0x20, "ASLR": 0x40, "DEP": 0x100,
                            "terminal server aware": 0x8000}

# What each architecture's exes must be: machine, optional header magic and
# the processor the manifest names.
ARCHITECTURES = {"i686": (0x14C, 0x10B, "x86"), "x86_64": (0x8664, 0x20B, "amd64")}
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


if not os.path.exists(DISC_LAUNCHER):
    sys.exit(f"{DISC_LAUNCHER} is missing: scripts/stage installs the checkout's tool there (scripts/test does)")


def build(product_dir, out_dir, arch="i686", env=None):
    return subprocess.run([DISC_LAUNCHER, "build", "--arch", arch, product_dir, out_dir], capture_output=True,
                          text=True, env=dict(os.environ, **(env or {})))


def transforms(product_dir, *given):
    return subprocess.run([DISC_LAUNCHER, "transforms", product_dir, *given], capture_output=True, text=True)


def check(product_dir, env=None):
    return subprocess.run([DISC_LAUNCHER, "check", product_dir], capture_output=True, text=True,
                          env=dict(os.environ, **(env or {})))


def wixl_package(path, registry_key="Software\\Q", language_value="[LANGUAGEVAL]", game_exe="Game.exe",
                 removes=True):
    """A small real Windows Installer package, in English, without transforms:
    it installs `game_exe` and writes PathVal and LanguageVal (from
    `language_value`) under HKLM\\`registry_key`, the values the launcher
    reads; with `removes`, opened again once installed it removes itself."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    removal = ('<CustomAction Id="RemoveWhenInstalled" Property="REMOVE" Value="ALL"/>'
               '<InstallExecuteSequence><Custom Action="RemoveWhenInstalled" Before="CostInitialize">'
               'Installed AND NOT REMOVE</Custom></InstallExecuteSequence>') if removes else ""
    with tempfile.TemporaryDirectory(prefix="build-product-package-") as stage:
        write(os.path.join(stage, game_exe), b"game")
        with open(os.path.join(stage, "package.wxs"), "w") as f:
            f.write('<?xml version="1.0" encoding="utf-8"?>\n'
                    '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Product Id="*" Name="Game" '
                    'Language="1033" Version="1.0.0" Manufacturer="Q" '
                    'UpgradeCode="0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"><Package InstallerVersion="200" '
                    'Compressed="yes" InstallScope="perMachine"/><Media Id="1" Cabinet="g.cab" EmbedCab="yes"/>'
                    '<Property Id="LANGUAGEVAL" Value="1033"/>' + removal +
                    '<Directory Id="TARGETDIR" Name="SourceDir"><Directory Id="ProgramFilesFolder">'
                    '<Directory Id="INSTALLDIR" Name="Game"><Component Id="Game" '
                    'Guid="1F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0">'
                    f'<File Id="Game" Source="{game_exe}" KeyPath="yes"/>'
                    f'<RegistryKey Root="HKLM" Key="{registry_key}">'
                    '<RegistryValue Name="PathVal" Type="string" Value="[INSTALLDIR]"/>'
                    f'<RegistryValue Name="LanguageVal" Type="integer" Value="{language_value}"/>'
                    '</RegistryKey></Component></Directory></Directory></Directory>'
                    '<Feature Id="Game" Level="1"><ComponentRef Id="Game"/></Feature></Product></Wix>\n')
        subprocess.run(["wixl", "-o", os.path.abspath(path), "package.wxs"], cwd=stage, check=True)


def tree_bytes(folder):
    """Every file below `folder`: relative path -> bytes."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(root, name), "rb") as f:
                files[os.path.relpath(os.path.join(root, name), folder)] = f.read()
    return files


def file_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def bmp(width, height):
    """A 24-bit bottom-up BMP with a diagonal gradient."""
    row = (width * 3 + 3) & ~3
    pixels = b"".join(
        b"".join(bytes((x % 256, y % 256, 128)) for x in range(width)).ljust(row, b"\0") for y in range(height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2834, 2834, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) + info + pixels


def ico(sizes):
    images = []
    for size in sizes:
        header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
        images.append(header + b"\x40\x80\xc0\xff" * size * size + b"\0" * (((size + 31) // 32) * 4 * size))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def toml_string(text):
    escaped = text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
    return f'"{escaped}"'


class FullProduct(unittest.TestCase):
    """A product with every optional field and strings that a resource script
    would mangle: line feeds, quotes, backslashes, Cyrillic, Japanese, accents.
    Built for the 32-bit program that ships; the subclass below builds the
    64-bit twin. Nothing here runs the exes, so every host checks both."""

    ARCH = "i686"

    STRINGS = {
        144: "1049;1041;1036;",
        145: 'Software\\Квилмарк\\"Sky"\\forge',
        146: "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0",
        147: "Кузница 2: Железная долина;鍛冶場2：鉄の谷;Forgé \"deux\"\nà la main;",
        148: "Установка.msi",
        149: "ゲーム.exe",
        150: 'https://example.com/?q="x"&y=\\z',
    }
    PAYLOAD = {
        "Установка.msi": b"package bytes",
        "Données/Übersicht.txt": "Überblick\r\n".encode("utf-8"),
        "日本語/説明.txt": "説明".encode("utf-8"),
        "Data/big.bin": os.urandom(3 * 1024 * 1024 + 5),
        "Data/empty.bin": b"",
    }

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.mkdtemp(prefix="build-product-test-")
        product = os.path.join(cls.temp, "product")
        s = cls.STRINGS
        write(os.path.join(product, "product.toml"), "\n".join([
            "language_ids = [1049, 1041, 1036]",
            f"registry_key = {toml_string(s[145])}",
            f"instance_mutex = {toml_string(s[146])}",
            "product_names = [" + ", ".join(toml_string(n) for n in s[147].split(";")[:-1]) + "]",
            f"package_name = {toml_string(s[148])}",
            f"game_exe = {toml_string(s[149])}",
            f"website_url = {toml_string(s[150])}",
            'background = "art/scene.bmp"',
            'icon = "art/game.ico"',
            'payload = "files"',
            'disc = "disc"',
            'version = "3.1.4.1"',
            'company = "Квилмарк & Co."',
            # The package is a stand-in: its transforms are not asked for.
            'missing_transforms = "warning"',
        ]) + "\n")
        cls.bmp = bmp(164, 354)
        write(os.path.join(product, "art", "scene.bmp"), cls.bmp)
        write(os.path.join(product, "art", "game.ico"), ico([32, 16]))
        for name, data in cls.PAYLOAD.items():
            write(os.path.join(product, "files", name), data)
        write(os.path.join(product, "disc", "Docs", "RU", "Readme.txt"), "Прочти меня")
        write(os.path.join(product, "disc", "autorun.inf"), "[autorun]\r\nopen=old.exe\r\n")
        cls.out = os.path.join(cls.temp, "out")
        started = time.monotonic()
        cls.result = build(product, cls.out, cls.ARCH)
        cls.seconds = time.monotonic() - started

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.temp, ignore_errors=True)

    def setUp(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)

    def exe(self, name):
        return pe_resources.PeFile(os.path.join(self.out, name))

    def test_both_exes_carry_the_strings_verbatim(self):
        for name in ("Autorun.exe", "Installer.exe"):
            resources = self.exe(name).resources()
            strings = pe_resources.decode_string_block(10, resources[(RT_STRING, 10, UK)])
            self.assertEqual(strings, self.STRINGS, name)

    def test_only_the_installer_carries_the_payload_in_manifest_order(self):
        autorun = self.exe("Autorun.exe").resources()
        self.assertFalse([key for key in autorun if key[0] == RT_RCDATA])
        installer = self.exe("Installer.exe").resources()
        names = sorted(name.replace("/", "\\").encode("utf-8") for name in self.PAYLOAD)
        manifest = installer[(RT_RCDATA, 3000, UK)]
        self.assertEqual(manifest, b"".join(n + b";" for n in names) + b"\0")
        by_name = {name.replace("/", "\\").encode("utf-8"): data for name, data in self.PAYLOAD.items()}
        for index, name in enumerate(names):
            self.assertEqual(installer[(RT_RCDATA, 3001 + index, UK)], by_name[name], name.decode())
        self.assertNotIn((RT_RCDATA, 3001 + len(names), UK), installer)

    def test_art_icon_version_and_manifest(self):
        resources = self.exe("Autorun.exe").resources()
        self.assertEqual(resources[(RT_BITMAP, 140, UK)], self.bmp[14:])
        group = resources[(RT_GROUP_ICON, 101, UK)]
        self.assertEqual(struct.unpack_from("<HHH", group), (0, 1, 2))
        version = resources[(RT_VERSION, 1, UK)]
        self.assertIn("Квилмарк & Co.".encode("utf-16-le"), version)
        self.assertIn("3.1.4.1".encode("utf-16-le"), version)
        self.assertIn("Кузница 2: Железная долина".encode("utf-16-le"), version)
        shipped = file_bytes(os.path.join(REPO, "resources", "launcher.manifest"))
        manifest_arch = ARCHITECTURES[self.ARCH][2].encode()
        self.assertEqual(resources[(RT_MANIFEST, 1, US)],
                         shipped.replace(b'processorArchitecture="x86"', b'processorArchitecture="%s"' % manifest_arch))
        # The program's own identity and the common controls 6.0 it asks for.
        self.assertEqual(resources[(RT_MANIFEST, 1, US)].count(b'processorArchitecture="%s"' % manifest_arch), 2)
        # Per-monitor DPI awareness, in the two namespaces Windows reads it
        # from: http, since under https the setting is silently ignored.
        settings = ElementTree.fromstring(resources[(RT_MANIFEST, 1, US)]).find(
            "{urn:schemas-microsoft-com:asm.v3}application/{urn:schemas-microsoft-com:asm.v3}windowsSettings")
        self.assertIsNotNone(settings, "the manifest has no windowsSettings")
        self.assertEqual([(element.tag, element.text) for element in settings],
                         [("{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware", "true/pm"),
                          ("{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness",
                           "PerMonitorV2, PerMonitor")])
        for (kind, res_id, language) in resources:
            if kind != RT_MANIFEST:
                self.assertEqual(language, UK, (kind, res_id))

    def test_exes_are_hardened_gui_programs_of_the_architecture_importing_only_loader_dlls(self):
        machine, magic, _ = ARCHITECTURES[self.ARCH]
        for name in ("Autorun.exe", "Installer.exe"):
            pe = self.exe(name)
            self.assertEqual((pe.machine, pe.magic, pe.subsystem), (machine, magic, IMAGE_SUBSYSTEM_WINDOWS_GUI), name)
            imports = {dll.lower() for dll in pe.imported_dlls()}
            self.assertTrue(imports <= LOADER_DLLS, imports - LOADER_DLLS)
            self.assertEqual(pe.imported_dlls(delayed=True), [], name)
            expected = {flag for flag in IMAGE_DLLCHARACTERISTICS if flag != "high-entropy ASLR" or magic == 0x20B}
            found = {flag for flag, bit in IMAGE_DLLCHARACTERISTICS.items() if pe.dll_characteristics & bit}
            self.assertEqual(found, expected, name)
            # The stack protector's and the checked copies' reports, linked in
            # only with them.
            self.assertIn(b"*** stack smashing detected ***", pe.data, name)
            self.assertIn(b"*** buffer overflow detected ***", pe.data, name)
            self.assertEqual([s for s in pe.sections if s[0] in (".debug_info", ".stab")], [], "stripped")
            # The resources are added after linking: the linker's checksum is made anew.
            self.assertEqual(pe.checksum, pe.computed_checksum(), name)

    def test_disc_layout_starts_the_launcher(self):
        disc = os.path.join(self.out, "disc")
        self.assertEqual(file_bytes(os.path.join(disc, "autorun.inf")),
                         b"[autorun]\r\nopen=Autorun.exe\r\nicon=Autorun.exe,0\r\n")
        self.assertEqual(file_bytes(os.path.join(disc, "Autorun.exe")), file_bytes(os.path.join(self.out, "Autorun.exe")))
        self.assertEqual(file_bytes(os.path.join(disc, "Docs", "RU", "Readme.txt")), "Прочти меня".encode("utf-8"))
        self.assertIn("autorun.inf is replaced", self.result.stderr)


class FullProductX86_64(FullProduct):
    ARCH = "x86_64"


class ProductFolderCase(unittest.TestCase):
    """A product folder made per test from VALID and changes."""

    VALID = {
        "language_ids": '"2057;"', "registry_key": "'Software\\Q'", "instance_mutex": '"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"',
        "product_names": '"Game;"', "package_name": '"Game.msi"', "game_exe": '"Game.exe"',
        "website_url": '"https://example.com"',
    }

    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix="build-product-test-")
        self.product = os.path.join(self.temp, "product")
        self.out = os.path.join(self.temp, "out")

    def tearDown(self):
        shutil.rmtree(self.temp, ignore_errors=True)

    def make(self, extra="", product=None, **changes):
        fields = dict(self.VALID, **changes)
        text = "".join(f"{key} = {value}\n" for key, value in fields.items() if value is not None)
        write(os.path.join(product or self.product, "product.toml"), text + extra)

    def assert_report_describes_outputs(self, out):
        """Each output's size and SHA-256 in the report are its bytes': the
        volumes' digests are made as they are written, the rest read back."""
        report = json.loads(file_bytes(os.path.join(out, "build-report.json")))
        for output in report["outputs"]:
            data = file_bytes(os.path.join(out, output["file"]))
            self.assertEqual((output["size"], output["sha256"]), (len(data), hashlib.sha256(data).hexdigest()),
                             output["file"])


class ProductsThatAreRefusedOrWarned(ProductFolderCase):
    def test_refused_product_leaves_no_exe_even_after_a_good_build(self):
        write(os.path.join(self.product, "files", "Game.msi"), b"msi")
        self.make('payload = "files"\n')
        self.assertEqual(build(self.product, self.out).returncode, 0)
        self.assertTrue(os.path.exists(os.path.join(self.out, "Installer.exe")))
        for changes, extra, message in (
                (dict(instance_mutex='"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"'), 'payload = "files"\n',
                 "product.toml: instance_mutex: "),
                (dict(game_exe=None), "", "product.toml: game_exe: is missing"),
                (dict(package_name='"Other.msi"'), 'payload = "files"\n',
                 'product.toml: payload: does not hold the package "Other.msi" at its root')):
            self.make(extra, **changes)
            result = build(self.product, self.out)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn(message, result.stderr)
            self.assertEqual([f for f in os.listdir(self.out) if f.endswith(".exe")], [], message)
        result = build(self.product, self.out, "arm64")
        self.assertEqual(result.returncode, 2)
        self.assertIn('--arch: "arm64" is not one of i686, x86_64', result.stderr)

    def test_payload_name_with_semicolon_is_refused_with_the_file_named(self):
        write(os.path.join(self.product, "files", "Game.msi"), b"msi")
        write(os.path.join(self.product, "files", "a;b.txt"), b"x")
        self.make('payload = "files"\n')
        result = build(self.product, self.out)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(os.path.join("files", "a;b.txt") + ": payload name holds \";\"", result.stderr)

    def test_an_out_dir_that_overlaps_the_product_is_refused_and_nothing_is_lost(self):
        write(os.path.join(self.product, "files", "Game.msi"), b"msi")
        write(os.path.join(self.product, "disc", "Game.msi"), b"msi")
        self.make('payload = "files"\ndisc = "disc"\n')
        nested = os.path.join(self.temp, "outer", "disc", "product")
        shutil.copytree(self.product, nested)
        before = tree_bytes(self.product)
        for product, out in ((self.product, self.product), (self.product, os.path.join(self.product, "files", "out")),
                             (self.product, os.path.join(self.product, "disc", "out")),
                             (nested, os.path.join(self.temp, "outer"))):
            result = build(product, out)
            self.assertEqual(result.returncode, 1, out)
            self.assertIn(out + ": ", result.stderr)
            self.assertEqual(tree_bytes(product), before, out)

    def test_prebuilt_files_of_another_version_or_none_are_refused(self):
        self.make()
        data = os.path.join(self.temp, "share")
        shutil.copytree(os.path.join(STAGE, "share", "disc-launcher"), data)
        with open(os.path.join(REPO, "VERSION")) as f:
            version = f.readline().strip()
        write(os.path.join(data, "i686", "version.txt"), "0.9.0\n")
        os.remove(os.path.join(data, "x86_64", "launcher.res"))
        for arch, message in (("i686", f"the prebuilt files are version 0.9.0, this disc-launcher is {version}"),
                              ("x86_64", "launcher.res: this prebuilt file is missing")):
            result = build(self.product, self.out, arch, env={"DISC_LAUNCHER_DATA": data})
            self.assertEqual(result.returncode, 1)
            self.assertIn(message, result.stderr)
            self.assertFalse(os.path.exists(os.path.join(self.out, "Autorun.exe")))

    def test_tolerated_mistakes_warn_and_build(self):
        self.make(language_ids='"2057;1033"', product_names='"Game"')
        result = build(self.product, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("language_ids: warning:", result.stderr)
        self.assertIn("product_names: warning:", result.stderr)
        strings = pe_resources.decode_string_block(
            10, pe_resources.PeFile(os.path.join(self.out, "Autorun.exe")).resources()[(RT_STRING, 10, UK)])
        self.assertEqual((strings[144], strings[147]), ("2057;1033", "Game"))
        self.assertFalse(os.path.exists(os.path.join(self.out, "Installer.exe")))
        self.assertFalse(os.path.exists(os.path.join(self.out, "disc")))


class ReleaseBuild(ProductFolderCase):
    """What a release pipeline relies on: byte-identical rebuilds, the build
    report, --check and the disc image, for the architecture of ARCH."""

    ARCH = "i686"

    def setUp(self):
        super().setUp()
        # One package for every copy of the product: wixl gives each package
        # it makes a new product code.
        self.package = os.path.join(self.temp, "Game.msi")
        wixl_package(self.package)

    def make_release(self, folder, volumes=False):
        """With `volumes`, the payload is large enough for three volumes of
        the small volume_size given."""
        product = os.path.join(self.temp, folder)
        self.make('payload = "files"\ndisc = "disc"\ndisc_label = "GAME_2"\n'
                  + ('volume_size = 2000000\n' if volumes else ''), product,
                  language_ids='"2057;1033;"', product_names='"Game;Game;"')
        write(os.path.join(product, "files", "Data", "level.bin"), bytes(range(256)) * 64)
        if volumes:
            write(os.path.join(product, "files", "Data", "music.bin"), bytes(range(251)) * 20000)
        shutil.copy(self.package, os.path.join(product, "files", "Game.msi"))
        for country in ("GB", "US"):
            write(os.path.join(product, "disc", "Docs", country, "Readme.txt"), "Read me\r\n")
        shutil.copy(os.path.join(product, "files", "Game.msi"), os.path.join(product, "disc", "Game.msi"))
        write(os.path.join(product, "disc", "Extras", "Карта долины — длинное имя файла.txt"), "map")
        return product

    def test_rebuilds_elsewhere_and_later_are_byte_identical(self):
        for epoch, volumes in ((None, False), ("1700000000", False), ("1700000000", True)):
            env = {"SOURCE_DATE_EPOCH": epoch} if epoch else {}
            if not epoch:
                os.environ.pop("SOURCE_DATE_EPOCH", None)
            outs = []
            for name in ("first", "second place"):
                product = self.make_release(os.path.join(name, "product-" + name), volumes)
                outs.append(os.path.join(self.temp, name, "out"))
                result = build(product, outs[-1], self.ARCH, env)
                self.assertEqual(result.returncode, 0, result.stderr)
                time.sleep(2)
            # The volumes go beside the exe and onto the disc with it.
            volume_names = ["Installer-1.bin", "Installer-2.bin", "Installer-3.bin"] if volumes else []
            self.assertEqual(sorted(f for f in os.listdir(outs[0]) if f.endswith(".bin")), volume_names)
            self.assertEqual("Installer.exe" in os.listdir(os.path.join(outs[0], "disc")), volumes)
            self.assert_report_describes_outputs(outs[0])
            for exe in ["Autorun.exe", "Installer.exe"] + volume_names:
                self.assertLessEqual(os.path.getsize(os.path.join(outs[0], exe)), 2000000 if volumes else 1 << 31)
                subprocess.run(["cmp", os.path.join(outs[0], exe), os.path.join(outs[1], exe)], check=True)
            self.assertEqual(tree_bytes(os.path.join(outs[0], "disc")), tree_bytes(os.path.join(outs[1], "disc")))
            if epoch:
                subprocess.run(["cmp", os.path.join(outs[0], "disc.iso"), os.path.join(outs[1], "disc.iso")],
                               check=True)
            shutil.rmtree(os.path.join(self.temp, "first"))
            shutil.rmtree(os.path.join(self.temp, "second place"))

    def test_the_windows_tool_under_wine_builds_the_same_bytes(self):
        """The zip's disc-launcher.exe, run under Wine's 64-bit half (which
        every host runs), against the Linux tool: the same exes, disc folder
        and report, from another place. Then what is its own on Windows: the
        package's transforms read with msi.dll, the signing command, and the
        image refused in one sentence without xorriso on its PATH."""
        sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
        import wine_prefix  # noqa: E402  (the e2e bench's prefixes)
        tool = os.path.join(WINDOWS_STAGE, "bin", "disc-launcher.exe")
        self.assertTrue(os.path.exists(tool), f"{tool} is missing: scripts/stage --windows makes it")
        prefix_folder = wine_prefix.new_prefix_folder()
        prefix = wine_prefix.Prefix(prefix_folder / "prefix", None)
        try:
            outs = {}
            # With volumes: the Windows tool writes them with its own file calls.
            for way in ("linux", "windows"):
                product = self.make_release(os.path.join(way, "product"), volumes=True)
                self.make('payload = "files"\ndisc = "disc"\nvolume_size = 2000000\n', product,
                          language_ids='"2057;1033;"', product_names='"Game;Game;"')
                outs[way] = os.path.join(self.temp, way, "out")
                if way == "linux":
                    result = build(product, outs[way], self.ARCH)
                else:
                    result = prefix.run([tool, "build", "--arch", self.ARCH, wine_prefix.windows_path(product),
                                         wine_prefix.windows_path(outs[way])], check=False, timeout=300)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            for output in ("Autorun.exe", "Installer.exe", "Installer-1.bin", "Installer-3.bin", "build-report.json"):
                self.assertEqual(file_bytes(os.path.join(outs["linux"], output)),
                                 file_bytes(os.path.join(outs["windows"], output)), output)
            self.assertEqual(tree_bytes(os.path.join(outs["linux"], "disc")),
                             tree_bytes(os.path.join(outs["windows"], "disc")))

            # What differs on Windows: the system's msi.dll reads the package,
            # a signing command runs through CreateProcess, and no xorriso.
            def run_windows(*arguments):
                return prefix.run([tool, *arguments], check=False, timeout=300)

            product = os.path.join(self.temp, "windows", "product")
            self.make('payload = "files"\ndisc = "disc"\n', product, language_ids='"2057;1036;"',
                      product_names='"Game;Jeu;"')
            refused = run_windows("check", wine_prefix.windows_path(product))
            self.assertEqual(refused.returncode, 1)
            self.assertIn("lacks the embedded transform fr-fr.mst", refused.stderr)
            # transforms through structured storage: the same transform and
            # summary, byte for byte, as the Linux tool stores with libgsf.
            linux_copy = os.path.join(self.temp, "linux-transforms")
            shutil.copytree(product, linux_copy)
            made = run_windows("transforms", wine_prefix.windows_path(product))
            self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
            self.assertEqual(transforms(linux_copy).returncode, 0)
            for copy in (os.path.join("files", "Game.msi"), os.path.join("disc", "Game.msi")):
                stored = [{name: data for name, data in compound_file.read(os.path.join(folder, copy)).items()
                           if name.startswith("fr-fr.mst/") or name == "\x05SummaryInformation"}
                          for folder in (product, linux_copy)]
                self.assertEqual(len(stored[0]), 6, copy)
                self.assertEqual(stored[0], stored[1], copy)
            self.assertEqual(run_windows("check", wine_prefix.windows_path(product)).returncode, 0)
            signed_list = os.path.join(self.temp, "signed.txt")
            for command, expected in (
                    (["cmd", "/c", "echo {file}>>" + wine_prefix.windows_path(signed_list)], None),
                    (["cmd", "/c", "exit 3 {file}"], "the signing command failed for Autorun.exe (exit code 3)")):
                self.make('payload = "files"\ndisc = "disc"\n[signing]\ncommand = ' + json.dumps(command) + "\n",
                          product, language_ids='"2057;1033;"', product_names='"Game;Game;"')
                result = run_windows("build", wine_prefix.windows_path(product), wine_prefix.windows_path(self.out))
                if expected:
                    self.assertEqual(result.returncode, 1)
                    self.assertIn(expected, result.stderr)
                else:
                    self.assertEqual(result.returncode, 0, result.stderr)
                    with open(signed_list, encoding="utf-8", errors="replace") as f:
                        signed = [line.strip().rsplit("\\", 1)[-1] for line in f if line.strip()]
                    self.assertEqual(signed, ["Autorun.exe", "Installer.exe"])
            self.assertFalse(os.path.exists(os.path.join(self.out, "Autorun.exe")))

            product = self.make_release(os.path.join("windows", "with-image"))
            refused = run_windows("build", wine_prefix.windows_path(product), wine_prefix.windows_path(self.out))
            self.assertEqual(refused.returncode, 1)
            self.assertIn("making disc.iso: xorriso is not on PATH", refused.stderr)
            self.assertFalse(os.path.exists(os.path.join(self.out, "Autorun.exe")))
        finally:
            prefix.shutdown()
            shutil.rmtree(prefix_folder, ignore_errors=True)

    def test_check_report_and_disc_image(self):
        product, out = self.make_release("product"), self.out
        checked = check(product)
        self.assertEqual(checked.returncode, 0, checked.stderr)
        self.assertEqual(sorted(os.listdir(product)), ["disc", "files", "product.toml"])
        result = build(product, out, self.ARCH)
        self.assertEqual(result.returncode, 0, result.stderr)

        report = json.loads(file_bytes(os.path.join(out, "build-report.json")))
        self.assertEqual(report["architecture"], self.ARCH)
        self.assertFalse(report["signed"])
        part = report["product"]
        self.assertTrue(part["tool_version"])
        self.assertEqual([(entry["lcid"], entry["culture"]) for entry in part["languages"]],
                         [(2057, "en-us"), (1033, "en-us")])
        self.assertEqual((part["first_entry"], part["needed_transforms"]), ("en-us", []))
        self.assertEqual(part["payload_files"], [
            {"name": "Data\\level.bin", "size": 256 * 64},
            {"name": "Game.msi", "size": os.path.getsize(os.path.join(product, "files", "Game.msi"))}])
        self.assertEqual(part["warnings"], [])
        self.assertEqual([o["file"] for o in report["outputs"]],
                         ["Autorun.exe", "Installer.exe", "disc/Autorun.exe", "disc.iso"])
        self.assert_report_describes_outputs(out)

        # The image read as Windows reads it, by its Joliet names.
        extracted = os.path.join(self.temp, "extracted")
        subprocess.run(["xorriso", "-osirrox", "on", "-rockridge", "off", "-joliet", "on",
                        "-indev", os.path.join(out, "disc.iso"), "-extract", "/", extracted],
                       check=True, capture_output=True)
        self.assertEqual(tree_bytes(extracted), tree_bytes(os.path.join(out, "disc")))
        self.assertIn("autorun.inf", os.listdir(extracted))
        info = subprocess.run(["xorriso", "-indev", os.path.join(out, "disc.iso"), "-pvd_info"],
                              capture_output=True, text=True, check=True).stdout
        self.assertRegex(info, r"Volume Id\s*: GAME_2\n")


class ReleaseBuildX86_64(ReleaseBuild):
    ARCH = "x86_64"


class Refusals(ProductFolderCase):
    """Refusals of the release settings: transforms, signing and the disc
    label, each named; --check reports them all and writes nothing."""

    MULTILINGUAL = dict(language_ids="[2057, 1036, 3084, 1053]", product_names='["G", "G", "G", "G"]')

    def test_check_reports_every_error_and_writes_nothing(self):
        write(os.path.join(self.product, "disc", "x.txt"), "x")
        wixl_package(os.path.join(self.product, "files", "Game.msi"))
        write(os.path.join(self.product, "files", "aux.txt"), "x")
        self.make('payload = "files"\ndisc = "disc"\ndisc_label = "SKYFORGE_TWO_IRON_VALE"\nvolume_size = 4095\n'
                  'backgroud = "art.bmp"\n[signing]\npassword_env = "1X"\n',
                  instance_mutex='"not-a-guid"', registry_key="'Software\\Brightfold\\Lantern Reach'",
                  language_ids="[2057, 1013]", product_names='["G", "G"]')
        result = check(self.product)
        self.assertEqual(result.returncode, 1)
        files = os.path.join(self.product, "files")
        for message in (f"{files}/Game.msi: does not write PathVal and LanguageVal under "
                        "HKEY_LOCAL_MACHINE\\Software\\Brightfold\\Lantern Reach, where the launcher looks "
                        "(registry_key in product.toml): it writes them under HKEY_LOCAL_MACHINE\\Software\\Q",
                        f"product.toml: disc: warning: {self.product}/disc/Docs/GB/ is missing: View Readme in "
                        "2057 English opens nothing before the game is installed",
                        "product.toml: language_ids: warning: 1013 is not one of the program's languages: its "
                        "players see the English texts",
                        "product.toml: backgroud: is not a known key; did you mean background?",
                        f"{files}/aux.txt: payload name uses the device name aux.txt",
                        "product.toml: instance_mutex: ",
                        'product.toml: disc_label: "SKYFORGE_TWO_IRON_VALE" is 22 characters; a disc label holds 1 '
                        "to 16 (the Joliet volume name Windows shows; ISO 9660 allows 32)",
                        "product.toml: signing: needs either pkcs12 (with password_env) or command, not both",
                        "product.toml: volume_size: must be a number of bytes from 4096 to 4290000000"):
            self.assertIn(message, result.stderr)
        self.assertEqual(sorted(os.listdir(self.temp)), ["product"])
        self.assertEqual(sorted(os.listdir(self.product)), ["disc", "files", "product.toml"])
        self.make('disc = "disc"\ndisc_label = "Game 2"\n')
        self.assertIn('disc_label: "Game 2" may hold only A to Z, 0 to 9 and _', check(self.product).stderr)

    def test_package_without_needed_transforms_is_refused_unless_the_product_opts_out(self):
        package = os.path.join(self.product, "files", "Game.msi")
        wixl_package(package)
        self.make('payload = "files"\n', **self.MULTILINGUAL)
        make = f"; disc-launcher transforms {self.product} makes it"
        expected = (f"{package}: lacks the embedded transform fr-fr.mst: installing in 1036 Français, "
                    f"3084 Français would fail{make}\n"
                    f"{package}: lacks the embedded transform sv-se.mst: installing in 1053 Svenska would fail"
                    f"{make}\n")
        result = build(self.product, self.out)
        self.assertEqual((result.returncode, result.stderr), (1, expected))
        self.assertEqual([f for f in os.listdir(self.out) if not f.startswith(".")], [])
        self.assertEqual(check(self.product).stderr, expected + f"check: {self.product} is refused\n")

        self.make('payload = "files"\nmissing_transforms = "warning"\n', **self.MULTILINGUAL)
        result = build(self.product, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, expected.replace("msi: lacks", "msi: warning: lacks"))
        part = json.loads(file_bytes(os.path.join(self.out, "build-report.json")))["product"]
        self.assertEqual((part["first_entry"], part["needed_transforms"]), ("en-us", ["fr-fr.mst", "sv-se.mst"]))
        self.assertEqual(len(part["warnings"]), 2)

        # A package that is not a Windows Installer database cannot be checked:
        # refused too, unless only one language is offered.
        write(package, b"not a package")
        self.make('payload = "files"\n', **self.MULTILINGUAL)
        result = build(self.product, self.out)
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"{package}: cannot be read as a Windows Installer database", result.stderr)
        self.make('payload = "files"\n')
        self.assertEqual(build(self.product, self.out).returncode, 0)

    def test_transforms_makes_what_check_asks_for_the_same_way_every_time(self):
        """transforms stores each missing transform, or the one given for its
        culture, in every copy of the package, and then changes nothing."""
        package = os.path.join(self.product, "files", "Game.msi")
        wixl_package(package)
        shutil.copy(package, os.path.join(self.temp, "original.msi"))
        write(os.path.join(self.product, "disc", "x.txt"), "x")
        shutil.copy(package, os.path.join(self.product, "disc", "Game.msi"))
        self.make('payload = "files"\ndisc = "disc"\n', **self.MULTILINGUAL)
        made = transforms(self.product)
        self.assertEqual(made.returncode, 0, made.stderr)
        for copy in (package, os.path.join(self.product, "disc", "Game.msi")):
            self.assertIn(f"{copy}: stored fr-fr.mst (1036 Français), sv-se.mst (1053 Svenska); "
                          "its summary lists Intel;1033,1036,3084,1053", made.stdout)
        checked = check(self.product)
        self.assertEqual(checked.returncode, 0, checked.stderr)
        stored = compound_file.read(package)
        self.assertEqual(stored["fr-fr.mst/"], bytes.fromhex("82100c0000000000c000000000000046"), "a transform")
        # Its string data: the two properties it sets, to 1036.
        self.assertTrue(any(data == b"ProductLanguage1036LANGUAGEVAL" for name, data in stored.items()
                            if name.startswith("fr-fr.mst/")))
        # Idempotent, and the same bytes from the same package.
        before = file_bytes(package)
        again = transforms(self.product)
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertIn(f"{package}: has every transform its languages need", again.stdout)
        self.assertEqual(file_bytes(package), before)
        shutil.copy(os.path.join(self.temp, "original.msi"), package)
        self.assertEqual(transforms(self.product).returncode, 0)
        self.assertEqual(file_bytes(package), before)

        # A transform made elsewhere is stored for its culture as it is; a
        # culture the product does not offer after its first is refused.
        other = os.path.join(self.temp, "other.msi")
        wixl_package(other)
        given = transforms(self.product, f"sv-se={other}", "de-de=" + other)
        self.assertEqual(given.returncode, 1)
        self.assertIn(f'de-de={other}: "de-de" is not the culture of a language', given.stderr)
        given = transforms(self.product, f"sv-se={other}")
        self.assertEqual(given.returncode, 0, given.stderr)
        self.assertIn("stored sv-se.mst (1053 Svenska)", given.stdout)
        inside = {name[len("sv-se.mst/"):]: data for name, data in compound_file.read(package).items()
                  if name.startswith("sv-se.mst/") and not name.endswith("/")}
        self.assertEqual(inside, {name: data for name, data in compound_file.read(other).items()
                                  if not name.endswith("/")})

    def test_check_compares_the_product_with_its_package(self):
        """Each way a package can fail the launcher, as check names it."""
        package = os.path.join(self.product, "files", "Game.msi")
        for what, settings, problem in (
                ("another key", dict(registry_key="Software\\Brightfold\\LanternReach"),
                 "does not write PathVal and LanguageVal under HKEY_LOCAL_MACHINE\\Software\\Q, where the "
                 "launcher looks (registry_key in product.toml): it writes them under "
                 "HKEY_LOCAL_MACHINE\\Software\\Brightfold\\LanternReach"),
                ("a fixed language", dict(language_value="1033"),
                 'warning: writes LanguageVal as "#1033", not from [LANGUAGEVAL]'),
                ("another game", dict(game_exe="Other.exe"), 'warning: installs no file named as game_exe "Game.exe"'),
                ("no removal", dict(removes=False), "warning: has no maintenance dialog with a Remove")):
            with self.subTest(what):
                wixl_package(package, **settings)
                self.make('payload = "files"\n', language_ids='"2057;1033;"', product_names='"G;G;"')
                result = check(self.product)
                self.assertIn(f"{package}: {problem}", result.stderr)
                self.assertEqual(result.returncode, 0 if "warning:" in problem else 1, result.stderr)


def make_code_signing_certificate(folder, password):
    """A throw-away CA and a code-signing certificate it issued, as a PKCS#12
    file; returns (ca.pem, signer.p12)."""
    def openssl(*arguments):
        subprocess.run(["openssl", *arguments], cwd=folder, check=True, capture_output=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Throw-away Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "signer.key", "-out", "signer.csr",
            "-subj", "/CN=Quillmark Test Signer")
    write(os.path.join(folder, "signer.ext"),
          "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "signer.pem", "-days", "2", "-extfile", "signer.ext")
    openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-certfile", "ca.pem",
            "-out", "signer.p12", "-passout", "pass:" + password)
    return os.path.join(folder, "ca.pem"), os.path.join(folder, "signer.p12")


class Signing(ProductFolderCase):
    """Signing with a PKCS#12 file or a command; every failure leaves no exe."""

    PASSWORD = "correct horse"

    def verify(self, exe, ca):
        return subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", exe], capture_output=True, text=True)

    def test_signed_exes_verify_against_the_ca_and_failures_leave_no_exe(self):
        ca, p12 = make_code_signing_certificate(self.temp, self.PASSWORD)
        shutil.copy(p12, os.path.join(self.temp, "product-key.p12"))
        write(os.path.join(self.product, "files", "Game.msi"), b"msi")
        write(os.path.join(self.product, "disc", "x.txt"), b"x")
        payload = 'payload = "files"\ndisc = "disc"\n'
        pkcs12 = payload + '[signing]\npkcs12 = "../product-key.p12"\npassword_env = "TEST_SIGNING_PASSWORD"\n'
        self.make(pkcs12)
        checked = check(self.product, {"TEST_SIGNING_PASSWORD": ""})
        self.assertEqual(checked.returncode, 0, checked.stderr)
        os.environ.pop("TEST_SIGNING_PASSWORD", None)
        self.assertIn("signing: password_env: warning: the environment variable TEST_SIGNING_PASSWORD is not set",
                      check(self.product).stderr)
        unset = build(self.product, self.out)
        self.assertEqual(unset.returncode, 1)
        self.assertIn("signing: password_env: the environment variable TEST_SIGNING_PASSWORD is not set",
                      unset.stderr)

        result = build(self.product, self.out, env={"TEST_SIGNING_PASSWORD": self.PASSWORD})
        self.assertEqual(result.returncode, 0, result.stderr)
        for exe in ("Autorun.exe", "Installer.exe", os.path.join("disc", "Autorun.exe")):
            verified = self.verify(os.path.join(self.out, exe), ca)
            self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
            self.assertIn("Message digest algorithm  : SHA256", verified.stdout)
        self.assertTrue(json.loads(file_bytes(os.path.join(self.out, "build-report.json")))["signed"])
        self.assert_report_describes_outputs(self.out)
        # The certificate table is appended; the payload resources stay readable.
        installer = pe_resources.PeFile(os.path.join(self.out, "Installer.exe")).resources()
        self.assertEqual(installer[(RT_RCDATA, 3001, UK)], b"msi")
        other_ca, _ = make_code_signing_certificate(os.path.join(self.temp, "product"), "x")
        self.assertNotEqual(self.verify(os.path.join(self.out, "Autorun.exe"), other_ca).returncode, 0)

        # A wrong password, and a signing command that fails: no exe.
        wrong = build(self.product, self.out, env={"TEST_SIGNING_PASSWORD": "wrong"})
        self.assertEqual(wrong.returncode, 1)
        self.assertIn("signing Autorun.exe failed", wrong.stderr)
        self.assertEqual(sorted(f for f in os.listdir(self.out) if not f.startswith(".")), [])
        self.make(payload + '[signing]\ncommand = ["false", "{file}"]\n')
        failed = build(self.product, self.out)
        self.assertEqual(failed.returncode, 1)
        self.assertIn("the signing command failed for Autorun.exe", failed.stderr)
        self.assertEqual(sorted(f for f in os.listdir(self.out) if not f.startswith(".")), [])

        # The command form: any signer, given each exe's path.
        signer = (f'osslsigncode sign -pkcs12 {p12} -pass "{self.PASSWORD}" -h sha256 -in "$1" -out "$1.s" '
                  '&& mv "$1.s" "$1"')
        self.make(payload + "[signing]\ncommand = " + json.dumps(["sh", "-c", signer, "sign", "{file}"]) + "\n")
        result = build(self.product, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        for exe in ("Autorun.exe", "Installer.exe", os.path.join("disc", "Autorun.exe")):
            self.assertEqual(self.verify(os.path.join(self.out, exe), ca).returncode, 0, exe)

        # A signature that took more than the room left for it is named
        # once the exes are signed, in the report as on the console.
        grow = json.dumps(["sh", "-c", 'head -c 2500000 /dev/zero >> "$1"', "grow", "{file}"])
        self.make(payload + "volume_size = 4000000\n[signing]\ncommand = " + grow + "\n")
        result = build(self.product, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        late = [line for line in result.stderr.splitlines() if line.startswith("Installer.exe: warning: is ")]
        self.assertEqual(len(late), 1, result.stderr)
        self.assertIn("below volume_size", late[0])
        report = json.loads(file_bytes(os.path.join(self.out, "build-report.json")))
        self.assertIn(late[0], report["product"]["warnings"])


class DemoProduct(unittest.TestCase):
    def test_demo_builds_with_its_package(self):
        subprocess.run([os.path.join(REPO, "products", "demo", "make-package")], check=True,
                       env=dict(os.environ, DISC_LAUNCHER=DISC_LAUNCHER))
        with tempfile.TemporaryDirectory(prefix="build-product-demo-") as out:
            result = build(os.path.join(REPO, "products", "demo"), out)
            self.assertEqual(result.returncode, 0, result.stderr)
            installer = pe_resources.PeFile(os.path.join(out, "Installer.exe")).resources()
            self.assertEqual(installer[(RT_RCDATA, 3000, UK)], b"Skyforge2.msi;\0")
            self.assertEqual(installer[(RT_RCDATA, 3001, UK)][:8], bytes.fromhex("d0cf11e0a1b11ae1"), "an MSI")
            strings = pe_resources.decode_string_block(10, installer[(RT_STRING, 10, UK)])
            self.assertEqual(strings[144], "2057;1033;1036;1031;3082;1040;1030;1049;1045;3084;2058;1046;1043;")
            self.assertEqual(strings[147], "Skyforge 2: Iron Vale;" * 13)
            self.assertEqual(strings[145], "Software\\Quillmark\\Skyforge2")
            for readme in ("GB/Readme.txt", "US/Readme.txt", "FR/Readme.rtf"):
                self.assertTrue(os.path.exists(os.path.join(out, "disc", "Docs", readme)), readme)
            self.assertTrue(os.path.exists(os.path.join(out, "disc", "Skyforge2.msi")))
            part = json.loads(file_bytes(os.path.join(out, "build-report.json")))["product"]
            self.assertEqual(part["needed_transforms"], [f"{culture}.mst" for culture in (
                "da-dk", "de-de", "es-es", "fr-fr", "it-it", "nl-nl", "pl-pl", "pt-br", "ru-ru")])


@unittest.skipUnless(os.environ.get("LAUNCHER_LARGE_PAYLOAD_TEST"), "set LAUNCHER_LARGE_PAYLOAD_TEST=1 to run")
class LargePayload(ProductFolderCase):
    def test_256_mib_payload_builds_within_a_minute_in_little_memory(self):
        write(os.path.join(self.product, "files", "Game.msi"), b"msi")
        with open(os.path.join(self.product, "files", "data.bin"), "wb") as f:
            f.truncate(256 * 1024 * 1024)
        self.make('payload = "files"\n')
        started = time.monotonic()
        result = build(self.product, self.out)
        seconds = time.monotonic() - started
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertLess(seconds, 60)
        # The payload is streamed into the exe, never held whole: the
        # largest process of every build so far stays far below it.
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss * 1024
        self.assertLess(peak, 256 * 1024 * 1024 // 2)
        resources = pe_resources.PeFile(os.path.join(self.out, "Installer.exe")).resources()
        self.assertEqual(len(resources[(RT_RCDATA, 3002, UK)]), 256 * 1024 * 1024)


if __name__ == "__main__":
    unittest.main()
