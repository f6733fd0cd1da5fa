"""DLLs planted beside the launcher or in its current folder, under the names
of system DLLs that it, the common controls or the shell load at run time,
are never loaded, even with native DLLs first: the launcher imports only what
the loader brings in for any program, and restricts its DLL search to the
system folder before it loads anything itself."""

import re
import shutil

import bench
from bench import IDC_EXIT, IDC_LANGUAGE

PLANTED_NAMES = ("version", "uxtheme", "dwmapi", "comctl32", "msimg32", "winmm", "cryptbase", "profapi",
                 "propsys", "sspicli", "dbghelp", "imm32", "msctf", "oleacc", "textinputframework",
                 "coremessaging", "ole32", "shcore", "oleaut32", "shlwapi", "shell32")


THEMED_COMMON_CONTROLS = {arch: f"{folder}_microsoft.windows.common-controls_6595b64144ccf1df_6.0"
                          for arch, folder in (("i686", "x86"), ("x86_64", "amd64"))}


def common_controls_loaded(trace_text):
    """The side-by-side assemblies of the comctl32 copies the loader brought
    in ("system" for the one of the system folder)."""
    found = set()
    for path in re.findall(r'Loaded L"([^"]*comctl32\.dll)"', trace_text, re.IGNORECASE):
        parts = path.replace("\\\\", "\\").lower().split("\\")
        found.add(parts[-2].rsplit(".", 2)[0] if "winsxs" in parts else "system")
    return found


def loads_by_wine_delay_resolver(trace_text):
    """Names of DLLs that Wine's resolver of delay-loaded imports looked for
    right after it was called. Wine 8 resolves a built-in DLL's delayed imports
    (uxtheme's msimg32, for one) with the default search order, ignoring the
    process's restriction; Windows honours it. Such a load is Wine's doing,
    not the launcher's."""
    names = set()
    last_by_thread = {}
    for line in trace_text.splitlines():
        thread = line.split(":", 1)[0]
        found = re.search(r'load_dll looking for L"([^"]+)" in \(null\)', line)
        if found and "LdrResolveDelayLoadedAPI" in last_by_thread.get(thread, ""):
            names.add(found.group(1).lower())
        if "map_image_into_view" not in line:
            last_by_thread[thread] = line
    return names


class DllPlanting(bench.ProductScenario):
    product_settings = bench.installer_product()
    product_files = bench.INSTALLER_FILES

    def setUp(self):
        super().setUp()
        self.exe_folder = self.work / "disc"
        self.current_folder = self.work / "current"
        self.markers = self.work / "markers"
        self.markers.mkdir()
        self.plant(PLANTED_NAMES)

    def plant(self, names):
        for folder in (self.exe_folder, self.current_folder):
            shutil.rmtree(folder, ignore_errors=True)
            folder.mkdir()
            for name in names:
                shutil.copy(bench.BENCH_BIN / "canary.dll", folder / f"{name}.dll")
        # Native first, or Wine's built-in copies would hide a wrong search order.
        self.env = {"WINEDLLOVERRIDES": "mscoree,mshtml=;" + ",".join(names) + "=n,b",
                    "CANARY_DIR": self.windows_path(self.markers)}

    def loaded_canaries(self):
        """The planted copies loaded so far, and clears the record."""
        loaded = {}
        for marker in self.markers.iterdir():
            loaded[marker.name[:-len(".loaded")]] = marker.read_text()
            marker.unlink()
        return loaded

    def run_early_loads(self, *args):
        shutil.copy(bench.BENCH_BIN / "earlyloads.exe", self.exe_folder / "earlyloads.exe")
        program = self.start(self.exe_folder / "earlyloads.exe", cwd=self.current_folder, args=args,
                             extra_env=self.env)
        self.assertExitCode(program, 0)
        return self.loaded_canaries()

    def assertNoPlantedDllLoaded(self, exe_name):
        # Wine's own system DLLs pull a few of theirs in from the program's
        # folder while the process is set up, before any program code runs
        # (imm32 for user32, version for advapi32's dependencies; on Windows
        # these are known DLLs or not loaded at all). That is no choice of the
        # launcher, and a canary in their place breaks the process, so those
        # names are left unplanted.
        before_program_code = self.run_early_loads()
        if before_program_code:
            bench.log(f"loaded by Wine before any program code, not planted: {sorted(before_program_code)}")
        self.plant([name for name in PLANTED_NAMES if f"{name}.dll" not in before_program_code])

        shutil.copy(self.product_out / exe_name, self.exe_folder / exe_name)
        trace_path = self.work / "launcher-trace.log"
        program = self.start(self.exe_folder / exe_name, cwd=self.current_folder, extra_env=self.env,
                             trace="+module,+loaddll", trace_path=trace_path)
        driver = self.driver
        driver.exe_name = exe_name
        driver.dump()
        # Drop the language list and close it again, so that the common
        # controls do their run-time loading while the canaries wait.
        driver.mouse_click(IDC_LANGUAGE)
        driver.wait_control(IDC_LANGUAGE, "focused", True)
        driver.key("escape")
        driver.key("tab")
        driver.wait_control(IDC_LANGUAGE, "focused", False)
        self.screenshot()
        driver.click(IDC_EXIT)
        self.assertExitCode(program, 0)
        loaded = self.loaded_canaries()
        trace_text = trace_path.read_text(errors="replace")
        by_wine = loads_by_wine_delay_resolver(trace_text)
        # The launcher preloads what Wine's delay-load resolver would look for
        # beside the exe, so not even those loads may pick a planted copy.
        self.assertEqual(loaded, {}, f"{exe_name} loaded planted DLLs (Wine's delay loads: {sorted(by_wine)})")
        # The themed common controls, which only a manifest naming this
        # exe's own processor brings in; without it Wine quietly falls back
        # to the old controls, and Windows refuses to start the exe.
        self.assertEqual(common_controls_loaded(trace_text), {THEMED_COMMON_CONTROLS[bench.ARCH]})

    def test_the_launcher_loads_no_planted_dll(self):
        self.assertNoPlantedDllLoaded("Autorun.exe")

    def test_the_installer_loads_no_planted_dll(self):
        # The installer is the exe a person downloads: its folder is often
        # Downloads, where anything may lie beside it.
        self.assertNoPlantedDllLoaded("Installer.exe")

    def test_the_canaries_catch_a_program_that_searches_its_own_folder(self):
        """Without the restriction the same loads pick the planted copies: the
        check above can fail."""
        names = [f"{name}.dll" for name in ("uxtheme", "dwmapi", "version")]
        loaded = self.run_early_loads("load", *names)
        self.assertTrue({"uxtheme.dll", "dwmapi.dll"} <= set(loaded), f"canaries seen: {loaded}")
