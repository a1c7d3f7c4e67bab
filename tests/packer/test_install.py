"""An installed sheetpack: `cmake --install` into a fresh prefix gives bin/sheetpack and
the stubs under share/sheetpack, and that sheetpack packs with them and with nothing
from the build tree."""
import os
import shutil
import subprocess

import pytest

from conftest import build, inspect_json


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    for variable in ("CMAKE", "SHEETPACK_BUILD_TREE"):
        if not os.environ.get(variable):
            pytest.fail(f"{variable} is not set: run these tests through ctest")
    prefix = tmp_path_factory.mktemp("prefix")
    result = subprocess.run([os.environ["CMAKE"], "--install", os.environ["SHEETPACK_BUILD_TREE"], "--prefix", prefix],
                            capture_output=True, timeout=300)
    assert result.returncode == 0, result.stderr.decode()
    return prefix


def test_installed_sheetpack_packs_with_its_shipped_stubs(prefix, app, tmp_path, stubs):
    installed = prefix / "bin" / "sheetpack"
    for arch in ("x64", "x86"):
        shipped = prefix / "share" / "sheetpack" / f"sheetpack-stub-{arch}.exe"
        assert shipped.read_bytes() == stubs[arch].read_bytes()
        app.config["arch"] = arch
        exe = tmp_path / f"App-{arch}.exe"
        result = build(installed, app, exe, "-v")
        assert result.returncode == 0, result.stderr.decode()
        assert f"stub: {shipped}".encode() in result.stderr
        assert inspect_json(installed, exe)["machine"] == arch


def test_installed_sheetpack_never_falls_back_to_the_build_tree(prefix, app, tmp_path, stubs):
    # A copy of the installed layout without the x86 stub, while the build tree has one.
    copy = tmp_path / "copy"
    shutil.copytree(prefix, copy)
    (copy / "share" / "sheetpack" / "sheetpack-stub-x86.exe").unlink()
    assert stubs["x86"].is_file()
    app.config["arch"] = "x86"
    out = tmp_path / "out"
    out.mkdir()
    result = build(copy / "bin" / "sheetpack", app, out / "App.exe")
    lines = result.stderr.decode().splitlines()
    assert result.returncode == 2, lines
    assert lines == [f"sheetpack: sheetpack-stub-x86.exe: not found in {copy / 'share' / 'sheetpack'}; "
                     "name a stub with --stub"]
    assert list(out.iterdir()) == []
