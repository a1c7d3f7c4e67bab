"""sheetpack inspect --saved-state: the launcher's own check of a saved-state file."""
import json
import struct

import pytest

from conftest import WORKBOOK_MARKER, build, extract, run

SETTINGS_MAGIC = 0x0EA21246


def check_value(magic):
    rotated = ((magic << 27) | (magic >> 5)) & 0xFFFFFFFF  # the magic rotated left by 27
    return ~(((rotated << 3) | (rotated >> 29)) & 0xFFFFFFFF) & 0xFFFFFFFF


def saved_state(settings, workbook, name=b"Saved", extra=b"", magic=SETTINGS_MAGIC):
    header = struct.pack("<IIII8sHHIII", 0x48535651, 40, 0, check_value(magic), b"", len(name), 0,
                         len(settings), len(workbook), len(extra))
    return header + name + settings + workbook + extra


@pytest.fixture
def settings_record(sheetpack, app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    return extract(sheetpack, exe, "1100")


def inspect(sheetpack, path, *extra):
    result = run(sheetpack, "inspect", "--saved-state", path, "--json", *extra)
    return result.returncode, json.loads(result.stdout) if result.returncode == 0 else result.stderr.decode()


def test_valid_file_shows_its_sections_and_settings(sheetpack, settings_record, tmp_path):
    path = tmp_path / "App.vstg"
    path.write_bytes(saved_state(settings_record, WORKBOOK_MARKER + b"book", extra=b"xyz"))
    code, report = inspect(sheetpack, path)
    assert code == 0
    assert report["valid"] is True
    assert report["nameText"] == "Saved"
    assert report["workbookSize"] == 8
    assert report["extraSize"] == 3
    assert report["settings"]["appTitle"] == "Quarterly Report"
    assert report["settings"]["settingsMagic"] == SETTINGS_MAGIC


@pytest.mark.parametrize("damage, reason", [
    (lambda f: f[:40], "not larger than its header"),
    (lambda f: f + b"\0", "do not add up"),
    (lambda f: f[:12] + struct.pack("<I", check_value(0x12345678)) + f[16:], "check value"),
])
def test_invalid_file_says_why_and_exits_zero(sheetpack, settings_record, tmp_path, damage, reason):
    path = tmp_path / "App.vstg"
    path.write_bytes(damage(saved_state(settings_record, WORKBOOK_MARKER + b"book")))
    code, report = inspect(sheetpack, path)
    assert code == 0
    assert report["valid"] is False
    assert reason in report["reason"]


def test_magic_option_checks_against_another_settings_magic(sheetpack, settings_record, tmp_path):
    path = tmp_path / "App.vstg"
    path.write_bytes(saved_state(settings_record, b"", magic=0x12345678))
    assert inspect(sheetpack, path)[1]["valid"] is False
    assert inspect(sheetpack, path, "--magic", "12345678")[1]["valid"] is True
    code, message = inspect(sheetpack, path, "--magic", "xyz")
    assert code == 2 and "--magic" in message


def test_a_file_that_cannot_be_opened_exits_two(sheetpack, tmp_path):
    code, message = inspect(sheetpack, tmp_path / "missing.vstg")
    assert code == 2 and "no such file" in message
