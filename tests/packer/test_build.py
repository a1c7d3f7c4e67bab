"""sheetpack build, checked through inspect and extract."""
import json
import struct
import zlib

import pefile
import pytest

from conftest import WORKBOOK_MARKER, build, extract, inspect_json, run, workbooks

ALL_ITEMS = [1018, 1020, 1025, 1027, 1035, 1043, 1045, 1050, 1060, 1070, 1100, 1105, 1107, 1200, 1230, 1240, 1250]
PACKED_ITEMS = {1018, 1020, 1025, 1027, 1043, 1045}


def override_table(data):
    """{key: text} of a text override table."""
    header, count = struct.unpack_from("<II", data)
    texts, offset = {}, header
    for _ in range(count):
        key, length = struct.unpack_from("<iI", data, offset)
        texts[key] = data[offset + 8:offset + 8 + length].decode("utf-8")
        offset += 8 + length
    return texts


@pytest.mark.parametrize("arch", ["x64", "x86"])
def test_inspect_shows_every_configured_value(sheetpack, app, tmp_path, arch):
    app.config["arch"] = arch
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe, "-q")
    assert result.returncode == 0, result.stderr.decode()
    assert result.stderr == b""

    report = inspect_json(sheetpack, exe)
    assert report["machine"] == arch
    items = {item["id"]: item for item in report["items"]}
    assert sorted(items) == ALL_ITEMS
    assert all(item["language"] == 1033 for item in items.values())
    for item_id, item in items.items():
        expected = "container" if item_id in PACKED_ITEMS or item_id == 1200 else "plain"
        assert item["form"] == expected, item_id
    assert items[1020]["inflatedSize"] == 4 + len(app.files["Report.xlsm"])
    assert items[1200]["unpacks"] is False and items[1200]["inflatedSize"] == 184
    assert {i: items[i]["name"] for i in (1018, 1020, 1100, 1105, 1230)} == {
        1018: "loader workbook", 1020: "workbook", 1100: "settings", 1105: "notice", 1230: "update policy"}
    assert report["onUpdate"] == "keepUserWorkbook"

    settings = report["settings"]
    assert settings["headerSize"] == 104
    assert settings["formatVersion"] == "2.5.4.0"
    assert settings["settingsMagic"] == 0x0EA21246
    assert settings["appVersion"] == 0x01020300
    assert settings["appVersionText"] == "1.2.3"
    assert settings["options"] == ["checkHostVersion", "splash", "singleInstance", "savedState"]
    assert settings["optionFlags"] == 0x80 | 0x200 | 0x4000 | 0x20000
    assert settings["workbookFormat"] == 52
    assert settings["packTime"] == pytest.approx(25569 + 1700000000 / 86400)
    assert settings["appTitle"] == "Quarterly Report"
    assert settings["appInfo"] == "Sales figures by region"
    assert settings["authorContact"] == "team@example.com"
    assert settings["startPassword"] == "s3cret"
    assert settings["trailingBlock"] is None
    assert report["texts"] == {"7": "Achtung", "41": "Already running\\nTry later"}
    assert report["notice"] == "utf-8"

    text = run(sheetpack, "inspect", exe)
    assert text.returncode == 0
    for shown in (b"Quarterly Report", b"1.2.3", b"checkHostVersion, splash, singleInstance, savedState",
                  b"0x0EA21246 (valid)", b"2023-11-14 22:13:20 UTC", b"41: Already running", b"notice (item 1105): utf-8",
                  b"  1020   workbook ", b"  1230   update policy ", b"onUpdate (item 1230): keepUserWorkbook"):
        assert shown in text.stdout


def test_extract_returns_every_input_byte_for_byte(sheetpack, app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    files = app.files
    assert extract(sheetpack, exe, 1020) == WORKBOOK_MARKER + files["Report.xlsm"]
    assert extract(sheetpack, exe, 1018) == files["kit/loader.xls"]
    assert extract(sheetpack, exe, 1025) == files["kit/addin-x86.dll"]
    assert extract(sheetpack, exe, 1027) == files["kit/addin-x64.dll"]
    # The kit's name tables as UTF-16LE without a mark, lines ended by CR LF.
    assert extract(sheetpack, exe, 1043) == "Index;English;Deutsch\r\n1;SUM;SUMME\r\n".encode("utf-16-le")
    assert extract(sheetpack, exe, 1045) == files["kit/1045.txt"][2:]  # byte-order mark dropped
    assert extract(sheetpack, exe, 1050) == files["splash.jpg"]
    assert extract(sheetpack, exe, 1105) == files["notice.txt"]
    assert extract(sheetpack, exe, 1200) == files["kit/1200.bin"]
    assert extract(sheetpack, exe, 1060) == b"\x01"
    assert extract(sheetpack, exe, 1070) == b"\x01"
    assert extract(sheetpack, exe, 1107) == b"1"
    assert extract(sheetpack, exe, 1230) == b"\x01", "onUpdate: keepUserWorkbook"
    assert override_table(extract(sheetpack, exe, 1035)) == {7: "Achtung", 41: "Already running\\nTry later"}

    # The settings record decodes the same on its own.
    settings = tmp_path / "settings.bin"
    extract(sheetpack, exe, 1100, "-o", settings)
    alone = run(sheetpack, "inspect", "--settings", settings, "--json")
    assert alone.returncode == 0
    assert json.loads(alone.stdout) == inspect_json(sheetpack, exe)["settings"]


def test_containers_have_the_launchers_header(sheetpack, app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    stored = extract(sheetpack, exe, 1020, "--raw")
    magic, header, constant, compressed, inflated, reserved = struct.unpack_from("<6I", stored)
    assert (magic, header, constant, reserved) == (0x00485A51, 24, 256, 0)
    assert compressed == len(stored) - 24
    assert inflated == 4 + len(app.files["Report.xlsm"])
    assert stored[24:26] == b"\x78\x5e"  # a zlib stream deflated at level 4 (levels 2 to 5 share this header)
    assert zlib.decompress(stored[24:]) == WORKBOOK_MARKER + app.files["Report.xlsm"]


def test_placeholders_for_what_the_application_lacks(sheetpack, app, tmp_path):
    for name in ("splash", "notice", "texts", "icon", "versionInfo", "password", "onUpdate"):
        del app.config[name]
    app.config["options"] = {}
    for name in ("1043.txt", "1045.txt", "1200.bin"):
        (app.kit / name).unlink()
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe)
    assert result.returncode == 0, result.stderr.decode()
    assert b"1200.bin: not in the add-in kit; item 1200 is one 0 byte" in result.stderr

    report = inspect_json(sheetpack, exe)
    # Neither an encrypted workbook nor a saved state: the application needs no key, so no identity.
    assert sorted(item["id"] for item in report["items"]) == [item for item in ALL_ITEMS if item != 1240]
    for one_byte in (1035, 1050, 1105, 1200):
        assert extract(sheetpack, exe, one_byte, "--raw") == b"\x00"
    assert extract(sheetpack, exe, 1043) == "Index;English\r\n".encode("utf-16-le")
    assert extract(sheetpack, exe, 1045) == "English\r\n".encode("utf-16-le")
    assert extract(sheetpack, exe, 1230) == b"\x03", "without onUpdate the user is asked"
    assert report["texts"] == {}
    assert report["notice"] == "none"
    assert report["settings"]["options"] == []
    assert report["settings"]["startPassword"] == ""


def test_without_a_kit_the_built_in_runtime_and_the_written_loader_are_packed(sheetpack, app, tmp_path,
                                                                              runtime_addins):
    # The author's kit without a loader, for the written loader to compare with.
    (app.kit / "loader.xls").unlink()
    with_kit = tmp_path / "WithKit.exe"
    assert build(sheetpack, app, with_kit).returncode == 0

    del app.config["addinKit"]
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe, "-v")
    assert result.returncode == 0, result.stderr.decode()
    notes = result.stderr.decode().splitlines()
    assert f"sheetpack: add-in kit: the runtime in {runtime_addins['x64'].parent}" in notes
    assert not [line for line in notes if "warning" in line], "the built-in kit lacks nothing"

    assert extract(sheetpack, exe, 1025) == runtime_addins["x86"].read_bytes()
    assert extract(sheetpack, exe, 1027) == runtime_addins["x64"].read_bytes()
    assert extract(sheetpack, exe, 1018) == extract(sheetpack, with_kit, 1018)
    assert [module["name"] for module in inspect_json(sheetpack, exe)["loader"]["modules"]] == ["ThisWorkbook", "Sheet1"]
    assert extract(sheetpack, exe, 1043) == "Index;English\r\n".encode("utf-16-le")
    assert extract(sheetpack, exe, 1045) == "English\r\n".encode("utf-16-le")
    assert extract(sheetpack, exe, 1200, "--raw") == b"\x00"
    # The runtime answers the launcher's start probe; the author's add-ins do not.
    assert extract(sheetpack, exe, 1260, "--raw") == b"\x01"
    assert 1260 not in [item["id"] for item in inspect_json(sheetpack, with_kit)["items"]]


NAMES = "Index;English;Deutsch\n1;SUM;SUMME\n2;AVERAGE;MITTELWERT\n3;\u00c4\U0001F600;X\n"
NAME_TABLE = NAMES.replace("\n", "\r\n").encode("utf-16-le")
KIT_TEXTS = {
    # case: the kit file's bytes
    "utf-16le mark": "\ufeff" + NAMES.replace("\n", "\r\n"),
    "utf-16le mark lf": "\ufeff" + NAMES,
    "utf-16be mark": "\ufeff" + NAMES.replace("\n", "\r\n"),
    "utf-8 mark lf": "\ufeff" + NAMES,
    "utf-8 even length lf": NAMES,
    "utf-8 crlf": NAMES.replace("\n", "\r\n"),
}


def kit_text_bytes(case):
    text = KIT_TEXTS[case]
    return text.encode("utf-16-be" if "be" in case else "utf-16-le" if "16le" in case else "utf-8")


@pytest.mark.parametrize("case", KIT_TEXTS)
def test_kit_texts_become_utf16le_tables_with_crlf(sheetpack, app, tmp_path, case):
    data = kit_text_bytes(case)
    if case == "utf-8 even length lf":
        assert len(data) % 2 == 0
    for name in ("1043.txt", "1045.txt"):
        (app.kit / name).write_bytes(data)
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe)
    assert result.returncode == 0, result.stderr.decode()
    assert extract(sheetpack, exe, 1043) == NAME_TABLE
    assert extract(sheetpack, exe, 1045) == NAME_TABLE


def test_empty_override_text_is_left_out_with_a_warning(sheetpack, app, tmp_path):
    app.config["texts"] = {"7": "Achtung", "12": "", "41": "Busy"}
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe)
    assert result.returncode == 0, result.stderr.decode()
    assert b"sheetpack: warning: texts.12: empty, so it is left out" in result.stderr
    assert override_table(extract(sheetpack, exe, 1035)) == {7: "Achtung", 41: "Busy"}

    app.config["texts"] = {"12": ""}
    result = build(sheetpack, app, exe)
    assert result.returncode == 0, result.stderr.decode()
    assert extract(sheetpack, exe, 1035, "--raw") == b"\x00", "no texts left: the placeholder"


@pytest.mark.parametrize("workbook, contents, fmt", [
    ("Book.xlsb", workbooks.ooxml("xlsb"), 50), ("Book.XLS", workbooks.xls(), -4143),
    ("Book.xlsm", workbooks.ooxml("xlsm"), 52)])
def test_workbook_format_follows_the_extension(sheetpack, app, tmp_path, workbook, contents, fmt):
    (app.folder / workbook).write_bytes(contents)
    app.config["workbook"] = workbook
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe)
    assert result.returncode == 0, result.stderr.decode()
    # The one line a first build says of the new application's key, and nothing of the workbook.
    warnings = [line for line in result.stderr.splitlines() if b": new application " not in line]
    assert warnings == [], "a workbook that matches its name, with its macros, gets no warning"
    assert inspect_json(sheetpack, exe)["settings"]["workbookFormat"] == fmt


@pytest.mark.parametrize("notice, kind", [
    ("n.txt", "utf-16"), ("n.rtf", "rtf"), ("n.txt", "ansi")])
def test_notice_kinds(sheetpack, app, tmp_path, notice, kind):
    data = {"utf-16": "\ufeffHello".encode("utf-16-le"), "rtf": b"{\\rtf1\\ansi Hello}",
            "ansi": "Grüße".encode("latin-1")}[kind]
    (app.folder / notice).write_bytes(data)
    app.config["notice"] = notice
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    assert inspect_json(sheetpack, exe)["notice"] == kind
    assert extract(sheetpack, exe, 1105) == data


def test_default_stub_follows_arch(sheetpack, app, tmp_path, stubs):
    for arch in ("x64", "x86"):
        app.config["arch"] = arch
        exe = tmp_path / f"App-{arch}.exe"
        result = build(sheetpack, app, exe, "-v")
        assert result.returncode == 0, result.stderr.decode()
        assert f"stub: {stubs[arch]}".encode() in result.stderr
        packed, stub = pefile.PE(str(exe)), pefile.PE(str(stubs[arch]))
        assert packed.sections[0].get_data() == stub.sections[0].get_data()


def container(data):
    packed = zlib.compress(data, 6)
    return struct.pack("<6I", 0x00485A51, 24, 256, len(packed), len(data), 0) + packed


def settings_24(title):
    """A record with the oldest, 24-byte header: option bits at 16, title length at 18."""
    text = title.encode("utf-16-le")
    header = struct.pack("<HH3I", 24, 0, 0x01020000, 0, 0) + struct.pack("<HBBHH", 0x0200, len(text), 0, 0, 0)
    return header + text + bytes(12)


def test_inspect_settings_reads_packed_and_old_records(sheetpack, app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    current = extract(sheetpack, exe, 1100)
    for name, record, expected in [
        ("packed", container(current), {"headerSize": 104, "appTitle": "Quarterly Report", "settingsMagic": 0x0EA21246}),
        ("old", settings_24("Old Title"), {"headerSize": 24, "appTitle": "Old Title", "settingsMagic": 0}),
    ]:
        path = tmp_path / f"{name}.bin"
        path.write_bytes(record)
        result = run(sheetpack, "inspect", "--settings", path, "--json")
        assert result.returncode == 0, result.stderr.decode()
        settings = json.loads(result.stdout)
        assert {key: settings[key] for key in expected} == expected, name
        text = run(sheetpack, "inspect", "--settings", path)
        assert f"appTitle: {expected['appTitle']}".encode() in text.stdout
