#!/usr/bin/env python3
"""Real Windows Installer packages for the end-to-end scenarios, built with
wixl (msitools).

The package of build_package() installs the game executable into
Program Files\\<company>\\<product folder>\\ and writes, under
HKLM\\<registry_key> (the 32-bit view, where the launcher looks):

    PathVal           the install folder, with its final backslash
    LanguageVal       the installation language (a DWORD LCID)
    OriginalDatabase  the package path msiexec was given, as msiexec resolved it
    Transforms        the TRANSFORMS text msiexec was given (empty without one)

The last two prove what the launcher passed to msiexec; read them with
installed_values().

For each culture code in `languages` the package carries an embedded
transform named "<culture>.mst" (what TRANSFORMS=":<culture>.mst" opens)
that sets LanguageVal to that language's LCID. wixl cannot make transforms:
the staged disc-launcher transforms writes them into the package, as a
build engineer would. Wine's msiexec installs even when TRANSFORMS names a
transform the package
does not hold (it logs "failed to open substorage" and goes on); Windows
refuses such an installation.

The same from a shell, for a package built elsewhere:

    tests/e2e/packages.py add-transforms PACKAGE.msi fr-fr de-de ...
"""

import shutil
import sys
import tempfile
import uuid
from pathlib import Path
from xml.sax.saxutils import quoteattr

import bench
import products

# Namespace of the GUIDs made from a product's name, so that the same product
# always gets the same codes and two products never share one.
_GUID_NAMESPACE = uuid.UUID("0f8e4c52-7d1b-4a63-9b2e-5c3a1d7e9f40")

# The culture codes of the launcher's catalogue and the LCID each
# transform installs.
CULTURE_LCIDS = {
    "en-us": 1033, "fr-fr": 1036, "it-it": 1040, "de-de": 1031, "es-es": 3082, "da-dk": 1030, "sv-se": 1053,
    "nl-nl": 1043, "no-no": 1044, "pt-br": 1046, "ru-ru": 1049, "pl-pl": 1045, "cs-cz": 1029, "hu-hu": 1038,
    "ja-jp": 1041,
}

def _guid(product_name, what):
    return str(uuid.uuid5(_GUID_NAMESPACE, f"{product_name}/{what}")).upper()


def _package_source(product_name, registry_key, game_exe_name, language_id, fail):
    key_parts = [part for part in registry_key.split("\\") if part]
    # Software\Company\Product installs into Program Files\Company\Product.
    company, folder = (key_parts[-2], key_parts[-1]) if len(key_parts) >= 2 else ("Games", key_parts[-1])
    attr = quoteattr
    refusal = ""
    if fail:
        # A launch condition that never holds: msiexec shows its own message
        # and ends without installing anything.
        refusal = (f'<Condition Message={attr(product_name + " cannot be installed on this computer.")}>'
                   f'0</Condition>')
    return f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name={attr(product_name)} Language="{language_id}" Version="1.0.0"
           Manufacturer={attr(company)} UpgradeCode="{_guid(product_name, 'upgrade')}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"
             Description={attr(product_name)} Manufacturer={attr(company)}/>
    <Media Id="1" Cabinet="game.cab" EmbedCab="yes"/>
    <Property Id="LANGUAGEVAL" Value="{language_id}"/>
    {refusal}
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="CompanyFolder" Name={attr(company)}>
          <Directory Id="INSTALLDIR" Name={attr(folder)}>
            <Component Id="GameExe" Guid="{_guid(product_name, 'game')}">
              <File Id="GameExe" Name={attr(game_exe_name)} Source="game.exe" KeyPath="yes"/>
            </Component>
            <Component Id="Registration" Guid="{_guid(product_name, 'registration')}">
              <RegistryKey Root="HKLM" Key={attr(registry_key)}>
                <RegistryValue Name="PathVal" Type="string" Value="[INSTALLDIR]" KeyPath="yes"/>
                <RegistryValue Name="LanguageVal" Type="integer" Value="[LANGUAGEVAL]"/>
                <RegistryValue Name="OriginalDatabase" Type="string" Value="[OriginalDatabase]"/>
                <RegistryValue Name="Transforms" Type="string" Value="[TRANSFORMS]"/>
              </RegistryKey>
            </Component>
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Game" Level="1">
      <ComponentRef Id="GameExe"/>
      <ComponentRef Id="Registration"/>
    </Feature>
  </Product>
</Wix>
"""


def build_package(work_dir, product_name, registry_key, game_exe_name, package_name="Game.msi",
                  language_id=1033, languages=(), fail=False, game_exe=None):
    """Builds a package in work_dir and returns its path (work_dir/package_name).

    product_name   the product's name in the package (also seeds its GUIDs)
    registry_key   the key below HKLM, e.g. r"Software\\Quillmark\\Skyforge2"
    game_exe_name  the installed game's file name, e.g. "Skyforge2.exe"
    language_id    the LCID written to LanguageVal
    languages      culture codes (keys of CULTURE_LCIDS) whose transforms the
                   package carries
    fail           a package whose launch condition is false: msiexec shows
                   "<product_name> cannot be installed on this computer." and
                   installs nothing
    game_exe       the file installed as the game; recorder.exe of the bench
                   by default, so that a started game leaves a trace
    """
    work_dir = Path(work_dir)
    stage = work_dir / (Path(package_name).stem + "-package")
    shutil.rmtree(stage, ignore_errors=True)
    stage.mkdir(parents=True)
    shutil.copy2(game_exe or bench.BENCH_BIN / "recorder.exe", stage / "game.exe")
    (stage / "package.wxs").write_text(
        _package_source(product_name, registry_key, game_exe_name, language_id, fail), encoding="utf-8")
    products.run_checked(["wixl", "-a", "x86", "-o", package_name, "package.wxs"], cwd=stage)
    package = work_dir / package_name
    shutil.move(stage / package_name, package)
    shutil.rmtree(stage, ignore_errors=True)
    if languages:
        add_language_transforms(package, languages, language_id)
    return package


def add_language_transforms(package, languages, language_id=1033):
    """Stores "<culture>.mst" in the package for each culture code, setting
    LANGUAGEVAL to the culture's LCID: disc-launcher transforms, run on a
    product folder of its own that offers the package's language first and
    then the cultures'."""
    with tempfile.TemporaryDirectory(prefix="e2e-transforms-") as folder:
        product = Path(folder)
        (product / "payload").mkdir()
        shutil.copy2(package, product / "payload" / Path(package).name)
        lcids = [language_id] + [CULTURE_LCIDS[culture] for culture in languages]
        products.write_product(product, products.base_product(
            language_ids=";".join(map(str, lcids)) + ";", product_names="Game;" * len(lcids),
            package_name=Path(package).name, payload="payload"))
        products.run_checked([products.DISC_LAUNCHER, "transforms", product])
        shutil.copy2(product / "payload" / Path(package).name, package)


def installed_values(prefix, registry_key):
    """The values the package wrote under HKLM\\registry_key, as a dict of
    name -> text (DWORDs as decimal text); empty when nothing is installed."""
    completed = prefix.run(["reg", "query", "HKLM\\" + registry_key, "/reg:32"], check=False)
    values = {}
    if completed.returncode != 0:
        return values
    for line in completed.stdout.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) < 2 or not parts[1].startswith("REG_"):
            continue
        text = parts[2] if len(parts) > 2 else ""
        if parts[1] == "REG_DWORD":
            text = str(int(text, 16))
        values[parts[0]] = text
    return values


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[1] != "add-transforms":
        sys.exit("usage: packages.py add-transforms PACKAGE.msi CULTURE...")
    add_language_transforms(sys.argv[2], sys.argv[3:])
