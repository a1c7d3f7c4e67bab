"""sheetpack extract and put: one item out and in, byte for byte."""
import hashlib

import pefile
import pytest

from conftest import WORKBOOK_MARKER, build, extract, inspect_json, run, workbooks


@pytest.fixture
def exe(sheetpack, app, tmp_path):
    path = tmp_path / "out" / "App.exe"
    path.parent.mkdir()
    assert build(sheetpack, app, path).returncode == 0
    return path


def items(sheetpack, exe):
    return {item["id"]: item for item in inspect_json(sheetpack, exe)["items"]}


def test_put_default_packs_what_the_launcher_unpacks(sheetpack, exe, tmp_path):
    workbook = WORKBOOK_MARKER + workbooks.ooxml("xlsm", cell="new workbook", payload=b"new workbook" * 1000)
    source = tmp_path / "workbook.bin"
    source.write_bytes(workbook)
    assert run(sheetpack, "put", exe, 1020, source).returncode == 0
    assert items(sheetpack, exe)[1020]["form"] == "container"
    assert extract(sheetpack, exe, 1020) == workbook

    notice = tmp_path / "notice.txt"
    notice.write_bytes(b"Plain notice text")
    assert run(sheetpack, "put", exe, 1105, notice).returncode == 0
    assert items(sheetpack, exe)[1105]["form"] == "plain"
    assert extract(sheetpack, exe, 1105, "--raw") == b"Plain notice text"
    assert pefile.PE(str(exe)).verify_checksum()


def test_extract_then_put_gives_back_the_same_item(sheetpack, exe, tmp_path):
    before = {item: extract(sheetpack, exe, item, "--raw") for item in (1018, 1020, 1050, 1100, 1200)}
    for item in before:
        out = tmp_path / f"{item}.bin"
        assert run(sheetpack, "extract", exe, item, "-o", out).returncode == 0
        assert run(sheetpack, "put", exe, item, out).returncode == 0
    assert {item: extract(sheetpack, exe, item, "--raw") for item in before} == before


def test_put_1020_tells_the_next_update_whether_the_workbook_changed(sheetpack, exe, tmp_path):
    def digest_matches_the_stored_workbook():
        stored = extract(sheetpack, exe, 1020, "--raw")
        return extract(sheetpack, exe, 1250, "--raw") == hashlib.sha512(stored).digest()[:16]

    assert digest_matches_the_stored_workbook()
    built = extract(sheetpack, exe, 1250, "--raw")
    other = tmp_path / "Other.xlsm"
    other.write_bytes(workbooks.ooxml("xlsm", cell="another workbook"))
    assert run(sheetpack, "put", exe, 1020, other).returncode == 0
    assert digest_matches_the_stored_workbook()
    assert extract(sheetpack, exe, 1250, "--raw") != built


def test_put_1020_puts_the_marker_before_a_plain_workbook(sheetpack, exe, tmp_path):
    workbook = tmp_path / "Report.xlsm"
    workbook.write_bytes(workbooks.ooxml("xlsm", cell="put"))
    result = run(sheetpack, "put", exe, 1020, workbook)
    assert result.returncode == 0, result.stderr.decode()
    assert b"warning" not in result.stderr, "the marker is added by design, with nothing to warn about"
    assert extract(sheetpack, exe, 1020) == WORKBOOK_MARKER + workbook.read_bytes()

    # --packed packs the workbook with its marker as well; --raw plants the bytes as given.
    assert run(sheetpack, "put", exe, 1020, workbook, "--packed").returncode == 0
    assert extract(sheetpack, exe, 1020) == WORKBOOK_MARKER + workbook.read_bytes()
    result = run(sheetpack, "put", exe, 1020, workbook, "--raw")
    assert result.returncode == 0 and b"marker" not in result.stderr
    assert extract(sheetpack, exe, 1020) == workbook.read_bytes()


@pytest.mark.parametrize("name, contents, fmt", [
    ("Book.xls", workbooks.xls(), -4143), ("Book.xlsb", workbooks.ooxml("xlsb"), 50),
    ("workbook.bin", WORKBOOK_MARKER + workbooks.xls(), -4143), ("Book.xlsm", workbooks.ooxml("xlsm"), 52)])
def test_put_1020_keeps_the_workbook_format_in_step(sheetpack, exe, tmp_path, name, contents, fmt):
    """The workbook's format follows the file put: by its name, or by its contents for a
    file named otherwise (an extracted item), so the host is handed a .xls as a .xls."""
    source = tmp_path / name
    source.write_bytes(contents)
    result = run(sheetpack, "put", exe, 1020, source, "-v")
    assert result.returncode == 0, result.stderr.decode()
    assert inspect_json(sheetpack, exe)["settings"]["workbookFormat"] == fmt
    changed = f"item 1100: workbook format 52 becomes {fmt}".encode()
    assert (changed in result.stderr) == (fmt != 52)


@pytest.mark.parametrize("item, mode", [(1020, None), (1100, None), (1027, "--packed"), (1105, "--raw"), (4242, None)])
def test_put_refuses_an_empty_file(sheetpack, exe, tmp_path, item, mode):
    before = exe.read_bytes()
    empty = tmp_path / "empty.bin"
    empty.write_bytes(b"")
    result = run(sheetpack, "put", exe, item, empty, *([mode] if mode else []))
    lines = result.stderr.decode().splitlines()
    assert result.returncode == 2
    assert len(lines) == 1 and "empty.bin: is empty (0 bytes)" in lines[0], lines
    assert exe.read_bytes() == before
    assert sorted(p.name for p in exe.parent.iterdir()) == ["App.exe"]


def test_put_raw_and_packed(sheetpack, exe, tmp_path):
    damaged = tmp_path / "damaged.bin"
    damaged.write_bytes(b"QZH\x00" + bytes(20) + b"not zlib")
    assert run(sheetpack, "put", exe, 1020, damaged, "--raw").returncode == 0
    assert extract(sheetpack, exe, 1020, "--raw") == damaged.read_bytes()
    # A container that does not unpack reaches the launcher as it is stored.
    assert extract(sheetpack, exe, 1020) == damaged.read_bytes()

    assert run(sheetpack, "put", exe, 1107, damaged, "--packed").returncode == 0
    assert items(sheetpack, exe)[1107]["form"] == "container"
    assert extract(sheetpack, exe, 1107) == damaged.read_bytes()


def test_put_adds_a_new_item(sheetpack, exe, tmp_path):
    data = tmp_path / "extra.bin"
    data.write_bytes(b"extra")
    assert run(sheetpack, "put", exe, 4242, data).returncode == 0
    added = items(sheetpack, exe)[4242]
    assert (added["language"], added["storedSize"], added["form"]) == (1033, 5, "plain")


def test_failures_leave_the_executable_alone(sheetpack, exe, tmp_path):
    before = exe.read_bytes()
    result = run(sheetpack, "put", exe, 1020, tmp_path / "missing.bin")
    assert result.returncode == 2 and b"missing.bin: no such file" in result.stderr
    result = run(sheetpack, "extract", exe, 999)
    assert result.returncode == 2 and b"has no packed item 999" in result.stderr
    assert exe.read_bytes() == before
    assert sorted(p.name for p in exe.parent.iterdir()) == ["App.exe"]
