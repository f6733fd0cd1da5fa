"""Products made on the fly for the scenarios, built for the scenario's
architecture by disc-launcher from the checkout's installed layout
(build/stage, made by scripts/stage; LAUNCHER_STAGE names another), as a
build engineer runs the installed tool."""

import json
import os
import subprocess
from pathlib import Path

import wine_host

STAGE = Path(os.environ.get("LAUNCHER_STAGE") or wine_host.REPO / "build" / "stage")
DISC_LAUNCHER = STAGE / "bin" / "disc-launcher"


def toml_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, (list, tuple)):
        return "[" + ", ".join(toml_value(item) for item in value) + "]"
    if isinstance(value, dict):  # an inline table, such as signing = { ... }
        return "{ " + ", ".join(f"{key} = {toml_value(item)}" for key, item in value.items()) + " }"
    return json.dumps(str(value), ensure_ascii=False)


def write_files(root, files):
    """Writes files (relative path -> text or bytes) below root, making folders."""
    for relative, content in files.items():
        path = Path(root) / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, bytes):
            path.write_bytes(content)
        else:
            path.write_text(content, encoding="utf-8")


def write_product(product_dir, settings, files=None):
    """Writes product.toml from a dict, plus any files relative to the
    product folder."""
    product_dir = Path(product_dir)
    lines = [f"{key} = {toml_value(value)}" for key, value in settings.items()]
    write_files(product_dir, {"product.toml": "\n".join(lines) + "\n", **(files or {})})
    return product_dir


def build_environment(arch, host_build, **extra):
    """The environment in which make-package finds the bench's build folders
    for this architecture."""
    return dict(os.environ, LAUNCHER_WIN_BUILD=str(wine_host.win_build(arch)), LAUNCHER_HOST_BUILD=str(host_build),
                **extra)


def run_checked(args, **kwargs):
    """Runs a build step; fails with the end of its output when it fails."""
    completed = subprocess.run(args, capture_output=True, text=True, **kwargs)
    if completed.returncode != 0:
        raise RuntimeError(f"{Path(args[0]).name} failed:\n{completed.stdout[-3000:]}\n{completed.stderr[-3000:]}")
    return completed


def run_build_product(arch, product_dir, out_dir, env):
    """disc-launcher build --arch ARCH PRODUCT_DIR OUT_DIR."""
    if not DISC_LAUNCHER.exists():
        raise RuntimeError(f"{DISC_LAUNCHER} is missing: scripts/stage installs it")
    run_checked([DISC_LAUNCHER, "build", "--arch", arch, product_dir, out_dir], env=env)
    return Path(out_dir)


def build_product(arch, host_build, work_dir, settings, files=None):
    """Builds a product made on the fly; returns the folder with its exes."""
    product_dir = write_product(Path(work_dir) / "product", settings, files)
    return run_build_product(arch, product_dir, Path(work_dir) / "out", build_environment(arch, host_build))


def base_product(**overrides):
    """A small product with two languages and no payload (launcher mode)."""
    settings = {
        "language_ids": "2057;1033;",
        "registry_key": r"Software\Quillmark\Skyforge2",
        "instance_mutex": "3F2C8A1E-5B7D-4E90-A1C3-9D8E7F6A5B4C",
        "product_names": "Skyforge 2: Iron Vale;Skyforge 2: Iron Vale;",
        "package_name": "Skyforge2.msi",
        "game_exe": "Skyforge2.exe",
        "website_url": "https://www.example.com/skyforge2",
    }
    settings.update(overrides)
    return settings


def installer_product(**overrides):
    """base_product with a payload: the exes include Installer.exe."""
    settings = base_product(payload="payload")
    settings.update(overrides)
    return settings


def code_signing_key(folder, password):
    """A throw-away self-signed code-signing certificate and its key, as
    (certificate.pem, signer.p12); the certificate is its own trust anchor."""
    folder = Path(folder)
    run_checked(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", "signer.key",
                 "-out", "signer.pem", "-subj", "/CN=Quillmark E2E Signer", "-addext",
                 "extendedKeyUsage=codeSigning", "-addext", "keyUsage=critical,digitalSignature"], cwd=folder)
    run_checked(["openssl", "pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem", "-out", "signer.p12",
                 "-passout", "pass:" + password], cwd=folder)
    return folder / "signer.pem", folder / "signer.p12"


INSTALLER_FILES = {"payload/Skyforge2.msi": b"not a real package; these scenarios never install it\n"}
