"""Damaged packages: items planted with `sheetpack put --raw` and saved-state files
planted beside the executable. Whatever the damage, the launcher must not crash or
hang, must say what the item's rule says (the settings warning, the add-in warning) or
go on with what it can use, and must leave nothing behind in the temporary folder."""
import os
import shutil
import struct
import subprocess
import time
import zlib

import pytest

from harness import REPO, message_text, workbooks

CONTAINER_MAGIC = 0x00485A51
WORKBOOK_MARKER = struct.pack("<I", 0x30751092)
WORKBOOK = workbooks.ooxml("xlsm", cell="a damaged package")
SETTINGS_MAGIC_OFFSET = 68
SAVED_STATE_MAGIC = 0x48535651
SAVED_STATE_CHECK = 0x7C577B6E  # the check value for the one settings magic that launches

SETTINGS_ITEM, WORKBOOK_ITEM, ADDIN_X64_ITEM, TEXTS_ITEM, SPLASH_ITEM, NOTICE_ITEM = 1100, 1020, 1027, 1035, 1050, 1105


def container(payload, inflated=None, compressed=None, stream=None):
    """A packed-item container; the header fields may lie about the stream."""
    stream = zlib.compress(payload) if stream is None else stream
    inflated = len(payload) if inflated is None else inflated
    compressed = len(stream) if compressed is None else compressed
    return struct.pack("<6I", CONTAINER_MAGIC, 24, 256, compressed, inflated, 0) + stream


def override_table(entries, count=None, header_size=12):
    """A text override table; `entries` are (key, declared length, bytes) and may lie,
    and so may the header size (the entries follow the 12 header bytes whatever it says)."""
    count = len(entries) if count is None else count
    body = b"".join(struct.pack("<iI", key, length) + text for key, length, text in entries)
    return struct.pack("<III", header_size, count, 0) + body


def saved_state(settings, workbook, name=b"state", lengths=None):
    """A saved-state file; `lengths` replaces the four section lengths of the header."""
    name_length, settings_length, workbook_length, extra_length = lengths or (len(name), len(settings), len(workbook), 0)
    header = struct.pack("<IIII8sHHIII", SAVED_STATE_MAGIC, 40, 0, SAVED_STATE_CHECK, b"\0" * 8, name_length, 0,
                         settings_length, workbook_length, extra_length)
    return header + name + settings + workbook


class DamagedApp:
    """A packed application in the scenario's folder, and what is left on disk after a run."""

    def __init__(self, scenario, sheetpack, program):
        self.scenario = scenario
        self.sheetpack = sheetpack
        self.program = program
        self.temp = self._temp_folder()
        self.before = self._snapshot()

    def _temp_folder(self):
        users = self.scenario.wine.prefix / "drive_c" / "users"
        folders = list(users.glob("*/AppData/Local/Temp")) + list(users.glob("*/Temp"))
        assert folders, f"no temporary folder under {users}"
        return folders[0]

    def _snapshot(self):
        return {path.relative_to(self.temp) for path in self.temp.rglob("*")}

    def run(self, args, argv):
        result = subprocess.run([str(self.sheetpack), *map(str, args)], capture_output=True, timeout=120)
        assert result.returncode == 0, f"sheetpack {argv}: {result.stderr.decode(errors='replace')}"
        return result.stdout

    def extract(self, item):
        out = self.scenario.folder / f"item-{item}.bin"
        self.run(["extract", self.program, item, "-o", out], f"extract {item}")
        return out.read_bytes()

    def put(self, item, data):
        source = self.scenario.folder / f"planted-{item}.bin"
        source.write_bytes(data)
        self.run(["put", self.program, item, source, "--raw"], f"put {item}")

    def left_behind(self, timeout=30):
        """New entries in the temporary folder, once they have had time to go."""
        deadline = time.monotonic() + timeout
        while True:
            new = self._snapshot() - self.before
            if not new or time.monotonic() > deadline:
                return sorted(map(str, new))
            time.sleep(0.25)


@pytest.fixture
def make_app(scenario, stub_x64, addin_kit, sheetpack):
    def make(**extra):
        (scenario.folder / "Book.xlsm").write_bytes(WORKBOOK)
        shutil.copy(REPO / "examples" / "budget" / "splash.jpg", scenario.folder)
        config = {"title": "Damaged", "workbook": "Book.xlsm", "addinKit": str(addin_kit), **extra}
        return DamagedApp(scenario, sheetpack, scenario.pack(config, stub_x64))
    return make


def events(journal, name):
    return [fields[1:] for fields in journal if fields[0] == name]


def expect_settings_warning(scenario, app, caption=None):
    """The launch is refused with string 22 before any host is started."""
    driver = scenario.launch(app.program, "-xlstest", answers={"#32770": "press:1"})
    assert [(w.class_name, w.title) for w in driver.windows] == [("#32770", caption or message_text(8))]
    assert driver.windows[0].texts("Static").count(message_text(22)) == 1
    assert driver.exit_code == 0
    assert scenario.host_journal() == []
    assert app.left_behind() == []


def expect_launch(scenario, app, *args, answers=None):
    """The launch goes through: the add-in gets its messages, the host ends, and the
    cleanup-mode launcher the add-in starts removes the workspace."""
    scenario.host(quitAfter1171=1500, after1171="cleanup")
    driver = scenario.launch(app.program, *args, answers=answers)
    assert driver.exit_code == 0
    assert not [w for w in driver.windows if w.class_name == "#32770" and w.title == message_text(8)], \
        "no warning expected"
    journal = scenario.wait_for_host_end()
    assert ["msg", "1171", "0", "0"] in journal
    assert app.left_behind() == []
    return driver, journal


def folder_sizes(journal):
    return {name: int(size) for name, size in events(journal, "folder")}


# --- the settings record (item 1100) ---------------------------------------------------

# Where a record is cut: before its magic is complete the launch is refused; from there on
# the missing header bytes read as 0 and the fields that do not fit are skipped.
SETTINGS_CUTS = [(1, False), (2, False), (24, False), (SETTINGS_MAGIC_OFFSET, False),
                 (SETTINGS_MAGIC_OFFSET + 3, False), (SETTINGS_MAGIC_OFFSET + 4, True), (103, True), (104, True),
                 (107, True)]


@pytest.mark.parametrize("cut,launches", SETTINGS_CUTS, ids=[f"cut-at-{c}" for c, _ in SETTINGS_CUTS])
def test_settings_record_cut_short(scenario, make_app, cut, launches):
    app = make_app()
    record = app.extract(SETTINGS_ITEM)
    assert len(record) > 107
    app.put(SETTINGS_ITEM, record[:cut])
    if launches:
        expect_launch(scenario, app, "-xlstest")
    else:
        expect_settings_warning(scenario, app)


CONTAINER_LIES = {
    "inflated-size-too-large": (dict(inflated=100000), True),   # exactly the produced bytes are used
    "inflated-size-too-small": (dict(inflated=50), False),      # does not unpack: plain bytes, no magic
    "compressed-size-too-small": (dict(compressed=1), True),    # the field is not used beyond being non-zero
    "compressed-size-too-large": (dict(compressed=0xFFFFFFFF), True),
    "compressed-size-zero": (dict(compressed=0), False),         # not a container: plain bytes, no magic
}


@pytest.mark.parametrize("lie", CONTAINER_LIES)
def test_settings_container_header_lies_about_its_stream(scenario, make_app, lie):
    fields, launches = CONTAINER_LIES[lie]
    app = make_app()
    app.put(SETTINGS_ITEM, container(app.extract(SETTINGS_ITEM), **fields))
    if launches:
        expect_launch(scenario, app, "-xlstest")
    else:
        expect_settings_warning(scenario, app)


def test_settings_zlib_stream_cut_short(scenario, make_app):
    app = make_app()
    record = app.extract(SETTINGS_ITEM)
    stream = zlib.compress(record)
    app.put(SETTINGS_ITEM, container(record, stream=stream[:len(stream) // 2]))
    expect_settings_warning(scenario, app)


# --- the text override table (item 1035), seen in the caption of the settings warning ---

OVERRIDE_TABLES = {
    "count-beyond-entries": (override_table([(7, 7, b"Achtung")], count=1000), "Achtung"),
    "second-length-beyond-end": (override_table([(7, 7, b"Achtung"), (8, 5000, b"abc")]), "Achtung"),
    "first-length-beyond-end": (override_table([(7, 5000, b"Achtung")]), None),
    "header-size-beyond-end": (override_table([(7, 7, b"Achtung")], header_size=0x7FFFFFF0), None),
    "length-wraps": (override_table([(7, 7, b"Achtung"), (8, 0xFFFFFFFF, b"x")]), "Achtung"),
    "not-utf8": (override_table([(7, 4, b"\xff\xfe\xc0\x80")]), None),
}


@pytest.mark.parametrize("damage", OVERRIDE_TABLES)
def test_override_table_runs_past_its_end(scenario, make_app, damage):
    table, caption = OVERRIDE_TABLES[damage]
    app = make_app()
    app.put(TEXTS_ITEM, table)
    app.put(SETTINGS_ITEM, app.extract(SETTINGS_ITEM)[:24])  # a refused launch shows the caption
    expect_settings_warning(scenario, app, caption=caption)


# --- notice, splash, workbook and add-in items ------------------------------------------

NOTICES = {
    "high-surrogate-at-the-end": b"\xff\xfe" + "Welcome to Damaged ".encode("utf-16-le") + b"\x00\xd8",
    "low-surrogate-first": b"\xff\xfe" + b"\x00\xdc" + "Welcome".encode("utf-16-le"),
    "high-surrogate-then-text": "Hello ".encode("utf-16-le") + b"\x3d\xd8" + "world, <?APPNAME?>".encode("utf-16-le"),
}


@pytest.mark.parametrize("notice", NOTICES)
def test_notice_with_half_a_surrogate_pair(scenario, make_app, notice):
    app = make_app()
    app.put(NOTICE_ITEM, NOTICES[notice])
    driver, _ = expect_launch(scenario, app, answers={"#32770": "press:1"})
    notices = [w for w in driver.windows if w.title == f"Damaged - {message_text(17)}"]
    assert len(notices) == 1 and notices[0].action == "press:1"


SPLASHES = {
    "text": b"this is not a picture at all",
    "ten-bytes": b"0123456789",
    "container-of-text": container(b"still not a picture " * 10),
    "truncated-jpeg": b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01",
}


@pytest.mark.parametrize("splash", SPLASHES)
def test_splash_item_that_is_not_a_picture(scenario, make_app, splash):
    app = make_app(options={"splash": True}, splash="splash.jpg")
    app.put(SPLASH_ITEM, SPLASHES[splash])
    driver, _ = expect_launch(scenario, app)
    assert not [w for w in driver.windows if w.class_name == "#32770"]


@pytest.mark.parametrize("form", ["plain", "packed", "cut-stream"])
def test_workbook_item_without_its_marker(scenario, make_app, form):
    app = make_app()
    plain = b"PK\x03\x04" + WORKBOOK
    item = {"plain": plain, "packed": container(plain),
            "cut-stream": container(WORKBOOK_MARKER + WORKBOOK, stream=zlib.compress(WORKBOOK_MARKER + WORKBOOK)[:40])}[form]
    app.put(WORKBOOK_ITEM, item)
    _, journal = expect_launch(scenario, app, "-xlstest")
    assert folder_sizes(journal)["App.xlsm"] == 0


def test_add_in_item_of_10_bytes_is_refused(scenario, make_app):
    app = make_app()
    app.put(ADDIN_X64_ITEM, b"MZ" + b"\0" * 8)
    scenario.host(quitAfter1171=1500)
    driver = scenario.launch(app.program, "-xlstest", answers={"#32770": "press:1"})
    assert [(w.class_name, w.title) for w in driver.windows] == [("#32770", message_text(8))]
    assert driver.windows[0].texts("Static").count(message_text(50)) == 1
    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert ["quit"] in journal and events(journal, "open") == []
    assert app.left_behind() == []


def test_add_in_item_of_11_bytes_is_written(scenario, make_app):
    app = make_app()
    app.put(ADDIN_X64_ITEM, b"MZ" + b"\0" * 9)
    scenario.host(quitAfter1171=1500)
    driver = scenario.launch(app.program, "-xlstest")
    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert folder_sizes(journal)["pelkostub.dll"] == 11
    # Not a DLL: the host cannot load it, so no add-in ever runs. The launcher's watcher,
    # not the add-in, removes the workspace once the host has ended.
    assert [fields[:2] for fields in journal if fields[0] == "loader"] == [["loader", "error"]]
    assert app.left_behind() == []


# --- saved-state files beside the executable ---------------------------------------------

SAVED_WORKBOOK = b"saved workbook " * 30


def plant_saved_state(app, kind):
    """Writes App.vstg beside the program; only "valid" is taken."""
    path = app.program.with_suffix(".vstg")
    settings = app.extract(SETTINGS_ITEM)
    valid = saved_state(settings, WORKBOOK_MARKER + SAVED_WORKBOOK)
    if kind == "valid":
        path.write_bytes(valid)
    elif kind == "another-owner":
        # Left by another account in a folder several users can write: never taken.
        path.write_bytes(valid)
        os.chown(path, 65534, 65534)
    elif kind == "truncated":
        path.write_bytes(valid[:len(valid) // 2])
    elif kind == "header-only":
        path.write_bytes(valid[:40])
    elif kind in ("lengths-wrap", "extra-length-wraps"):
        # Summed in 32 bits the lengths give the file's size; they describe 4 GB more.
        workbook = len(WORKBOOK_MARKER + SAVED_WORKBOOK)
        lengths = {"lengths-wrap": (5, len(settings) + 0x80000000, workbook, 0x80000000),
                   "extra-length-wraps": (5, len(settings), workbook + 1, 0xFFFFFFFF)}[kind]
        path.write_bytes(saved_state(settings, WORKBOOK_MARKER + SAVED_WORKBOOK, lengths=lengths))
    elif kind == "directory":
        path.mkdir()
        (path / "inside").write_bytes(valid)
    return path


@pytest.mark.parametrize("kind", ["valid", "another-owner", "truncated", "header-only", "lengths-wrap",
                                  "extra-length-wraps", "directory"])
def test_saved_state_file_beside_the_executable(scenario, make_app, kind):
    app = make_app(options={"savedState": True})
    planted = plant_saved_state(app, kind)
    before = planted.read_bytes() if planted.is_file() else None

    scenario.host(after1171="signal", quitAfter1171=3000)
    driver = scenario.launch(app.program, "-xlstest")
    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert [fields[:1] + fields[2:] for fields in journal if fields[0] == "signal"] == [["signal", "1"]]
    expected = len(SAVED_WORKBOOK) if kind == "valid" else len(WORKBOOK)
    assert folder_sizes(journal)["App.xlsm"] == expected
    # The resident launcher removed its workspace and left the saved state alone.
    assert app.left_behind() == []
    assert (planted.read_bytes() if planted.is_file() else None) == before
