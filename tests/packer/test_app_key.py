"""The key file is the application's identity: every build with it makes the same
application, a build without it a new one, which the author sees and can refuse; a
failed build writes none; `sheetpack key` brings it back from a shipped executable."""
import os
import re
import stat
import subprocess

import pytest

from conftest import build, extract, inspect_json, run
from pe_tools import with_signature

KEY_HEADER = "sheetpack workbook key 1"


def key_file(app):
    return app.folder / "app.sheetpack-key"


def fingerprint_of(identity_hex):
    return "-".join(identity_hex[at:at + 4] for at in range(0, 16, 4))


def built_fingerprint(result):
    """The fingerprint a successful build names on its last line."""
    match = re.search(rb"bytes written \(application ([0-9a-f]{4}(?:-[0-9a-f]{4}){3})\)", result.stdout)
    assert match, result.stdout
    return match.group(1).decode()


def test_first_build_writes_an_owner_only_key_with_an_identity(sheetpack, app, tmp_path):
    exe = tmp_path / "App.exe"
    # Created under a umask that narrows nothing: only the mode of the creation protects it.
    result = subprocess.run([str(sheetpack), "build", app.write_config(), "-o", exe], capture_output=True,
                            preexec_fn=lambda: os.umask(0), timeout=300)
    assert result.returncode == 0, result.stderr.decode()
    lines = key_file(app).read_text().splitlines()
    assert lines[0] == KEY_HEADER and re.fullmatch(r"[0-9a-f]{40}", lines[1])
    assert re.fullmatch(r"application [0-9a-f]{32}", lines[2])
    assert stat.S_IMODE(key_file(app).stat().st_mode) == 0o600

    fingerprint = fingerprint_of(lines[2].split()[1])
    assert f"new application {fingerprint}".encode() in result.stderr
    assert f'"keyFingerprint": "{fingerprint}"'.encode() in result.stderr
    assert built_fingerprint(result) == fingerprint
    report = inspect_json(sheetpack, exe)["application"]
    assert report == {"fingerprint": fingerprint, "savedStateName": f"app-{lines[2].split()[1]}.vstg"}
    assert extract(sheetpack, exe, "1240") == bytes.fromhex(lines[2].split()[1])
    text = run(sheetpack, "inspect", exe).stdout.decode()
    assert f"application (item 1240): {fingerprint}" in text


def test_two_machines_with_one_key_build_one_application(sheetpack, app, tmp_path):
    assert build(sheetpack, app, tmp_path / "one.exe").returncode == 0
    key = key_file(app).read_bytes()
    # A fresh folder elsewhere with the configuration and only the key file copied.
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    for name in app.files:
        (elsewhere / name).parent.mkdir(parents=True, exist_ok=True)
        (elsewhere / name).write_bytes((app.folder / name).read_bytes())
    (elsewhere / "app.sheetpack-key").write_bytes(key)
    os.chmod(elsewhere / "app.sheetpack-key", 0o600)
    app.folder = elsewhere
    again = build(sheetpack, app, tmp_path / "two.exe")
    assert again.returncode == 0 and b"new application" not in again.stderr, again.stderr
    assert (tmp_path / "one.exe").read_bytes() == (tmp_path / "two.exe").read_bytes()


def test_key_file_without_identity_line_still_works(sheetpack, app, tmp_path):
    # The form every key file had before there was an identity line.
    old = f"{KEY_HEADER}\n{'5a' * 20}\n"
    key_file(app).write_text(old)
    os.chmod(key_file(app), 0o600)
    first = build(sheetpack, app, tmp_path / "one.exe")
    second = build(sheetpack, app, tmp_path / "two.exe")
    assert first.returncode == 0 and second.returncode == 0, first.stderr + second.stderr
    assert b"new application" not in first.stderr
    assert key_file(app).read_text() == old, "an author's key file is never rewritten"
    assert built_fingerprint(first) == built_fingerprint(second)
    # Derived from the password: another password is another application.
    key_file(app).write_text(f"{KEY_HEADER}\n{'6b' * 20}\n")
    assert built_fingerprint(build(sheetpack, app, tmp_path / "three.exe")) != built_fingerprint(first)


def test_key_readable_by_others_is_used_with_a_warning(sheetpack, app, tmp_path):
    assert build(sheetpack, app, tmp_path / "one.exe").returncode == 0
    os.chmod(key_file(app), 0o644)
    result = build(sheetpack, app, tmp_path / "two.exe")
    assert result.returncode == 0
    assert b"app.sheetpack-key: other users may read this key file" in result.stderr
    os.chmod(key_file(app), 0o600)
    assert b"other users may read" not in build(sheetpack, app, tmp_path / "three.exe").stderr


# Rows: (case, key file present, fingerprint the configuration names ("own": the key's),
# exit code, words of the error).
FINGERPRINT_CASES = [
    ("names the key at hand", True, "own", 0, None),
    ("names it in upper case", True, "OWN", 0, None),
    ("key file missing", False, "own", 2, b"missing; this configuration belongs to the application"),
    ("another application's key", True, "0123-4567-89ab-cdef", 2, b"is the key of the application"),
    ("not a fingerprint", True, "0123456789abcdef", 2, b"key 'keyFingerprint': expected the key's fingerprint"),
]


@pytest.mark.parametrize("case, present, named, code, words", FINGERPRINT_CASES, ids=[r[0] for r in FINGERPRINT_CASES])
def test_configuration_names_its_key(sheetpack, app, tmp_path, case, present, named, code, words):
    first = build(sheetpack, app, tmp_path / "first.exe")
    own = built_fingerprint(first)
    if not present:
        key_file(app).unlink()
    app.config["keyFingerprint"] = {"own": own, "OWN": own.upper()}.get(named, named)
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe)
    assert result.returncode == code, result.stderr
    if code:
        assert words in result.stderr and len(result.stderr.splitlines()) == 1, result.stderr
        assert not exe.exists() and key_file(app).exists() == present
    else:
        assert built_fingerprint(result) == own


def _bad_icon(app, tmp_path):
    (app.folder / "app.ico").write_bytes(b"\x00\x00\x01\x00\x05\x00")
    return tmp_path / "App.exe", []


def _signed_stub(app, tmp_path):
    stub = tmp_path / "signed.exe"
    stub.write_bytes(with_signature((app.kit / "addin-x64.dll").read_bytes()))
    return tmp_path / "App.exe", ["--stub", stub]


def _read_only_output_folder(app, tmp_path):
    folder = tmp_path / "locked"
    folder.mkdir()
    os.chmod(folder, 0o500)
    return folder / "App.exe", []


def _missing_output_folder(app, tmp_path):
    return tmp_path / "missing" / "App.exe", []


@pytest.mark.parametrize("spoil", [_bad_icon, _signed_stub, _read_only_output_folder, _missing_output_folder])
def test_failed_build_writes_no_key(sheetpack, app, tmp_path, spoil):
    if spoil is _read_only_output_folder and os.geteuid() == 0:
        pytest.skip("the superuser writes into a read-only folder")
    exe, extra = spoil(app, tmp_path)
    result = build(sheetpack, app, exe, *extra)
    assert result.returncode != 0 and not exe.exists()
    assert not key_file(app).exists(), result.stderr
    assert b"new application" not in result.stderr


@pytest.mark.parametrize("protect", [True, False], ids=["encrypted workbook", "plain workbook"])
def test_key_recovered_from_the_executable_builds_the_same_application(sheetpack, app, tmp_path, protect):
    app.config["protectWorkbook"] = protect
    first = tmp_path / "one.exe"
    assert build(sheetpack, app, first).returncode == 0
    original = key_file(app).read_text().splitlines()
    key_file(app).unlink()

    result = run(sheetpack, "key", first, "-o", key_file(app))
    assert result.returncode == 0, result.stderr.decode()
    recovered = key_file(app).read_text().splitlines()
    assert stat.S_IMODE(key_file(app).stat().st_mode) == 0o600
    assert recovered[2] == original[2]
    if protect:
        assert recovered == original
    again = tmp_path / "two.exe"
    rebuilt = build(sheetpack, app, again)
    assert rebuilt.returncode == 0 and b"new application" not in rebuilt.stderr
    if protect:
        assert again.read_bytes() == first.read_bytes()
    else:
        assert built_fingerprint(rebuilt) == fingerprint_of(original[2].split()[1])


def test_key_recovery_refuses_what_it_cannot_do(sheetpack, app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    before = key_file(app).read_bytes()
    over = run(sheetpack, "key", exe, "-o", key_file(app))
    assert over.returncode == 2 and b"exists already" in over.stderr and key_file(app).read_bytes() == before

    # Neither an encrypted workbook nor a saved state: the application has no key.
    app.config["options"]["savedState"] = False
    app.config.pop("onUpdate")
    bare = tmp_path / "Bare.exe"
    key_file(app).unlink()
    assert build(sheetpack, app, bare).returncode == 0 and not key_file(app).exists()
    assert inspect_json(sheetpack, bare)["application"] is None
    none = run(sheetpack, "key", bare, "-o", tmp_path / "lost.sheetpack-key")
    assert none.returncode == 2 and b"carries no application key" in none.stderr
    assert not (tmp_path / "lost.sheetpack-key").exists()
