"""An installed sheetpack: `cmake --install` into a fresh prefix gives bin/sheetpack and,
under share/sheetpack, the stubs and the runtime's add-ins, and that sheetpack packs
with them and with nothing from the build tree."""
import os
import shutil
import subprocess

import pytest

from conftest import build, extract, inspect_json

SHIPPED = ["addin-x64.dll", "addin-x86.dll", "sheetpack-stub-x64.exe", "sheetpack-stub-x86.exe"]


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


def test_installed_layout_is_the_binary_and_the_shipped_files(prefix, stubs, runtime_addins):
    assert sorted(str(path.relative_to(prefix)) for path in prefix.rglob("*") if path.is_file()) == \
        ["bin/sheetpack"] + [f"share/sheetpack/{name}" for name in SHIPPED]
    share = prefix / "share" / "sheetpack"
    for arch in ("x64", "x86"):
        assert (share / f"addin-{arch}.dll").read_bytes() == runtime_addins[arch].read_bytes()


def test_installed_sheetpack_packs_its_runtime_without_a_kit(prefix, app, tmp_path):
    installed = prefix / "bin" / "sheetpack"
    del app.config["addinKit"]
    exe = tmp_path / "App.exe"
    result = build(installed, app, exe, "-v")
    assert result.returncode == 0, result.stderr.decode()
    share = prefix / "share" / "sheetpack"
    assert f"add-in kit: the runtime in {share}".encode() in result.stderr
    assert extract(installed, exe, 1025) == (share / "addin-x86.dll").read_bytes()
    assert extract(installed, exe, 1027) == (share / "addin-x64.dll").read_bytes()


MISSING = {
    # shipped file taken away: (configuration change, the one line sheetpack prints after its name)
    "sheetpack-stub-x86.exe": ({"arch": "x86"}, "name a stub with --stub"),
    "addin-x86.dll": ({"addinKit": None}, 'name an add-in kit with "addinKit"'),
    "addin-x64.dll": ({"addinKit": None}, 'name an add-in kit with "addinKit"'),
}


@pytest.mark.parametrize("name", MISSING)
def test_installed_sheetpack_never_falls_back_to_the_build_tree(prefix, app, tmp_path, name):
    # A copy of the installed layout without one shipped file, while the build tree has it.
    copy = tmp_path / "copy"
    shutil.copytree(prefix, copy)
    (copy / "share" / "sheetpack" / name).unlink()
    change, advice = MISSING[name]
    app.config.update(change)
    app.config = {key: value for key, value in app.config.items() if value is not None}
    out = tmp_path / "out"
    out.mkdir()
    result = build(copy / "bin" / "sheetpack", app, out / "App.exe")
    lines = result.stderr.decode().splitlines()
    assert result.returncode == 2, lines
    assert lines == [f"sheetpack: {name}: not found in {copy / 'share' / 'sheetpack'}; {advice}"]
    assert list(out.iterdir()) == []
