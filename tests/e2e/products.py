"""Products made on the fly for the scenarios, built with scripts/build-product
for the scenario's architecture."""

import json
import os
import subprocess
from pathlib import Path

import wine_host
from wine_prefix import E2E_DIR, file_lock


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


def write_product(product_dir, settings, files=None):
    """Writes product.toml from a dict, plus any files (path -> text or bytes)
    relative to the product folder."""
    product_dir = Path(product_dir)
    product_dir.mkdir(parents=True, exist_ok=True)
    lines = [f"{key} = {toml_value(value)}" for key, value in settings.items()]
    (product_dir / "product.toml").write_text("\n".join(lines) + "\n", encoding="utf-8")
    for relative, content in (files or {}).items():
        path = product_dir / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, bytes):
            path.write_bytes(content)
        else:
            path.write_text(content, encoding="utf-8")
    return product_dir


def build_environment(arch, host_build, extra=None):
    """What scripts/build-product and make-package need to find the bench's
    build folders for this architecture."""
    env = {"LAUNCHER_WIN_BUILD": str(wine_host.win_build(arch)), "LAUNCHER_HOST_BUILD": str(host_build)}
    env.update(extra or {})
    return env


def run_build_product(arch, host_build, product_dir, out_dir, env):
    """scripts/build-product --arch ARCH; the build folders are shared, so one
    product build runs at a time."""
    with file_lock(E2E_DIR / "build-product.lock"):
        return subprocess.run([wine_host.REPO / "scripts" / "build-product", "--arch", arch, product_dir, out_dir],
                              capture_output=True, text=True, env=env)


def build_product(arch, host_build, work_dir, settings, files=None):
    """Builds a product made on the fly; returns the folder with its exes."""
    work_dir = Path(work_dir)
    product_dir = write_product(work_dir / "product", settings, files)
    out_dir = work_dir / "out"
    env = dict(os.environ, **build_environment(arch, host_build))
    completed = run_build_product(arch, host_build, product_dir, out_dir, env)
    if completed.returncode != 0:
        raise RuntimeError(f"scripts/build-product failed:\n{completed.stdout[-3000:]}\n{completed.stderr[-3000:]}")
    return out_dir


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
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-keyout", "signer.key", "-out", "signer.pem", "-subj", "/CN=Quillmark E2E Signer",
                    "-addext", "extendedKeyUsage=codeSigning", "-addext", "keyUsage=critical,digitalSignature"],
                   cwd=folder, check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem",
                    "-out", "signer.p12", "-passout", "pass:" + password], cwd=folder, check=True, capture_output=True)
    return folder / "signer.pem", folder / "signer.p12"


INSTALLER_FILES = {"payload/Skyforge2.msi": b"not a real package; these scenarios never install it\n"}
