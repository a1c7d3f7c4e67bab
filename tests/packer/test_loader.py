"""The loader workbook that sheetpack writes when the add-in kit holds none, read back by
readers written elsewhere: olefile for the compound file, LibreOffice Calc for the
workbook and its VBA project, and this file's own MS-OVBA decompression, written from
the format's description and shared with nothing in the packer.
"""
import shutil
import struct
import subprocess
import time
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import olefile
import pytest

from conftest import App, build, extract, inspect_json, run

MACRO_FILE = Path(__file__).resolve().parents[2] / "packer" / "loader" / "loader_macro.bas"


def decompress(container):
    """MS-OVBA 2.4.1.3: a 0x01 signature, then chunks of a 2-byte header and tokens."""
    assert container[0] == 1
    out = bytearray()
    position = 1
    while position < len(container):
        header, = struct.unpack_from("<H", container, position)
        size = (header & 0x0FFF) + 3
        assert (header >> 12) & 7 == 3, "chunk signature"
        chunk = container[position + 2:position + size]
        position += size
        if not header & 0x8000:
            out += chunk
            continue
        start = len(out)
        index = 0
        while index < len(chunk):
            flags = chunk[index]
            index += 1
            for bit in range(8):
                if index >= len(chunk):
                    break
                if not flags & (1 << bit):
                    out.append(chunk[index])
                    index += 1
                    continue
                token, = struct.unpack_from("<H", chunk, index)
                index += 2
                bit_count = max((len(out) - start - 1).bit_length(), 4)
                length_mask = 0xFFFF >> bit_count
                offset = (token >> (16 - bit_count)) + 1
                for _ in range((token & length_mask) + 3):
                    out.append(out[-offset])
    return bytes(out)


def dir_modules(dir_stream):
    """MS-OVBA 2.3.4.2: module name, stream name and text offset of every module."""
    modules, current, position = [], {}, 0
    while position < len(dir_stream):
        record_id, size = struct.unpack_from("<HI", dir_stream, position)
        if record_id == 0x0009:  # PROJECTVERSION: size field 4, six bytes follow
            size = 6
        payload = dir_stream[position + 6:position + 6 + size]
        position += 6 + size
        if record_id == 0x0019:
            current["name"] = payload.decode("cp1252")
        elif record_id == 0x001A:
            current["stream"] = payload.decode("cp1252")
        elif record_id == 0x0031:
            current["offset"], = struct.unpack("<I", payload)
        elif record_id == 0x002B:
            modules.append(current)
            current = {}
        elif record_id == 0x0010:
            return modules
    pytest.fail("the dir stream has no terminator")


def decrypt(hex_text, project_id):
    """MS-OVBA 2.4.3.3: the obfuscated CMG, DPB and GC values of the PROJECT stream."""
    data = bytes.fromhex(hex_text)
    seed, version_enc, project_key_enc = data[0], data[1], data[2]
    assert seed ^ version_enc == 2
    assert seed ^ project_key_enc == sum(project_id.encode()) & 0xFF
    unencrypted1, encrypted1, encrypted2 = seed ^ project_key_enc, project_key_enc, version_enc
    plain = []
    for byte in data[3:]:
        value = byte ^ ((encrypted2 + unencrypted1) & 0xFF)
        plain.append(value)
        encrypted2, encrypted1, unencrypted1 = encrypted1, byte, value
    ignored = (seed & 6) // 2
    length, = struct.unpack("<I", bytes(plain[ignored:ignored + 4]))
    assert len(plain) == ignored + 4 + length
    return bytes(plain[ignored + 4:])


# The records of the globals and the worksheet substream as [MS-XLS] orders them
# (2.1.7.20.3, 2.1.7.20.5 and the common productions of 2.1.7.20.6), each with the least
# and most times the grammar allows it: every record the grammar does not mark optional,
# and the optional ones a writer may put in between. (Productions that would be empty here,
# such as METADATA or OBJECTS, are left out.)
MANY = 10_000
GLOBALS_GRAMMAR = [
    ("BOF", 0x0809, 1, 1), ("InterfaceHdr", 0x00E1, 1, 1), ("Mms", 0x00C1, 1, 1), ("InterfaceEnd", 0x00E2, 1, 1),
    ("WriteAccess", 0x005C, 1, 1), ("CodePage", 0x0042, 1, 1), ("DSF", 0x0161, 1, 1), ("Excel9File", 0x01C0, 0, 1),
    ("RRTabId", 0x013D, 1, 1), ("ObProj", 0x00D3, 0, 1), ("ObNoMacros", 0x01BD, 0, 1), ("CodeName", 0x01BA, 0, 1),
    ("WinProtect", 0x0019, 1, 1), ("Protect", 0x0012, 1, 1), ("Password", 0x0013, 1, 1), ("Prot4Rev", 0x01AF, 1, 1),
    ("Prot4RevPass", 0x01BC, 1, 1), ("Window1", 0x003D, 1, MANY), ("Backup", 0x0040, 1, 1), ("HideObj", 0x008D, 1, 1),
    ("Date1904", 0x0022, 1, 1), ("CalcPrecision", 0x000E, 1, 1), ("RefreshAll", 0x01B7, 1, 1),
    ("BookBool", 0x00DA, 1, 1), ("Font", 0x0031, 1, 510), ("Format", 0x041E, 8, 218), ("XF", 0x00E0, 16, MANY),
    ("Style", 0x0293, 0, MANY), ("Palette", 0x0092, 0, 1), ("UsesELFs", 0x0160, 1, 1),
    ("BoundSheet8", 0x0085, 1, MANY), ("Country", 0x008C, 1, 1), ("SST", 0x00FC, 0, 1), ("ExtSST", 0x00FF, 1, 1),
    ("BookExt", 0x0863, 0, 1), ("EOF", 0x000A, 1, 1),
]
WORKSHEET_GRAMMAR = [
    ("BOF", 0x0809, 1, 1), ("Uncalced", 0x005E, 0, 1), ("Index", 0x020B, 1, 1),
    ("CalcMode", 0x000D, 1, 1), ("CalcCount", 0x000C, 1, 1), ("CalcRefMode", 0x000F, 1, 1), ("CalcIter", 0x0011, 1, 1),
    ("CalcDelta", 0x0010, 1, 1), ("CalcSaveRecalc", 0x005F, 1, 1), ("PrintRowCol", 0x002A, 1, 1),
    ("PrintGrid", 0x002B, 1, 1), ("GridSet", 0x0082, 1, 1), ("Guts", 0x0080, 1, 1),
    ("DefaultRowHeight", 0x0225, 1, 1), ("WsBool", 0x0081, 1, 1),
    ("Header", 0x0014, 1, 1), ("Footer", 0x0015, 1, 1), ("HCenter", 0x0083, 1, 1), ("VCenter", 0x0084, 1, 1),
    ("LeftMargin", 0x0026, 0, 1), ("RightMargin", 0x0027, 0, 1), ("TopMargin", 0x0028, 0, 1),
    ("BottomMargin", 0x0029, 0, 1), ("Setup", 0x00A1, 1, 1),
    ("DefColWidth", 0x0055, 1, 1), ("ColInfo", 0x007D, 0, 255), ("Dimensions", 0x0200, 1, 1),
    ("Window2", 0x023E, 1, 1), ("PLV", 0x088B, 0, 1), ("Scl", 0x00A0, 0, 1), ("Pane", 0x0041, 0, 1),
    ("Selection", 0x001D, 0, MANY), ("CodeName", 0x01BA, 0, 1), ("EOF", 0x000A, 1, 1),
]


def biff_records(stream, position):
    """(position, id, payload) of every record from `position` to the first EOF."""
    records = []
    while True:
        assert position + 4 <= len(stream), f"no EOF before the stream ends at {len(stream)}"
        record_id, size = struct.unpack_from("<HH", stream, position)
        assert position + 4 + size <= len(stream), f"record 0x{record_id:04X} at {position} runs past the end"
        records.append((position, record_id, stream[position + 4:position + 4 + size]))
        position += 4 + size
        if record_id == 0x000A:
            return records


def check_grammar(records, grammar, substream):
    """The record ids follow the grammar's order, each within its counts, and nothing else."""
    ids = [record_id for _, record_id, _ in records]
    at = 0
    for name, record_id, least, most in grammar:
        count = 0
        while at < len(ids) and ids[at] == record_id and count < most:
            at += 1
            count += 1
        assert count >= least, f"{substream}: {name} (0x{record_id:04X}) appears {count} times at record {at}, " \
                               f"the grammar asks for at least {least}"
    assert at == len(ids), f"{substream}: record 0x{ids[at]:04X} at record {at} is out of the grammar's order"


def our_macro_lines():
    return MACRO_FILE.read_text().splitlines()


@pytest.fixture(scope="module")
def loader(tmp_path_factory, sheetpack, stubs):
    """The loader of an application packed with a kit that holds no loader.xls."""
    app = App(tmp_path_factory.mktemp("loader") / "app", stubs)
    (app.kit / "loader.xls").unlink()
    exe = app.folder / "App.exe"
    result = build(sheetpack, app, exe)
    assert result.returncode == 0, result.stderr.decode()
    path = app.folder / "loader.xls"
    path.write_bytes(extract(sheetpack, exe, 1018))
    return {"exe": exe, "path": path}


def test_olefile_lists_exactly_the_workbook_and_the_project(loader):
    with olefile.OleFileIO(str(loader["path"])) as ole:
        assert sorted("/".join(entry) for entry in ole.listdir(streams=True, storages=True)) == [
            "Workbook", "_VBA_PROJECT_CUR", "_VBA_PROJECT_CUR/PROJECT", "_VBA_PROJECT_CUR/PROJECTwm",
            "_VBA_PROJECT_CUR/VBA", "_VBA_PROJECT_CUR/VBA/Sheet1", "_VBA_PROJECT_CUR/VBA/ThisWorkbook",
            "_VBA_PROJECT_CUR/VBA/_VBA_PROJECT", "_VBA_PROJECT_CUR/VBA/dir"]
        assert ole.get_type("_VBA_PROJECT_CUR/VBA") == olefile.STGTY_STORAGE
        assert ole.openstream("_VBA_PROJECT_CUR/VBA/_VBA_PROJECT").read() == bytes.fromhex("CC61FFFF000000")
        # Small streams are in the mini stream, the workbook is not.
        assert ole.get_size("Workbook") >= 4096
        assert ole.get_size("_VBA_PROJECT_CUR/PROJECT") < 4096


def test_every_module_stream_holds_our_source(loader):
    with olefile.OleFileIO(str(loader["path"])) as ole:
        modules = dir_modules(decompress(ole.openstream("_VBA_PROJECT_CUR/VBA/dir").read()))
        assert [(m["name"], m["stream"], m["offset"]) for m in modules] == [
            ("ThisWorkbook", "ThisWorkbook", 0), ("Sheet1", "Sheet1", 0)]
        sources = {m["name"]: decompress(ole.openstream("_VBA_PROJECT_CUR/VBA/" + m["stream"]).read()).decode("cp1252")
                   for m in modules}
    for name, source in sources.items():
        lines = source.split("\r\n")
        assert lines[0] == f'Attribute VB_Name = "{name}"'
        assert lines[-1] == "", "the source ends with a line end"
        code = [line for line in lines[:-1] if not line.startswith("Attribute ")]
        assert code == (our_macro_lines() if name == "ThisWorkbook" else [])


def test_project_stream_says_unprotected_and_visible(loader):
    with olefile.OleFileIO(str(loader["path"])) as ole:
        lines = ole.openstream("_VBA_PROJECT_CUR/PROJECT").read().decode("cp1252").split("\r\n")
    values = dict(line.split("=", 1) for line in lines if "=" in line and not line.startswith("&H"))
    project_id = values["ID"].strip('"')
    assert decrypt(values["CMG"].strip('"'), project_id) == b"\x00\x00\x00\x00"
    assert decrypt(values["DPB"].strip('"'), project_id) == b"\x00"
    assert decrypt(values["GC"].strip('"'), project_id) == b"\xFF"
    assert [line for line in lines if line.startswith("Document=")] == [
        "Document=ThisWorkbook/&H00000000", "Document=Sheet1/&H00000000"]


def test_inspect_shows_the_macro(loader, sheetpack):
    text = run(sheetpack, "inspect", loader["exe"]).stdout.decode()
    shown = [line[4:] for line in text.splitlines() if line.startswith("    ")]
    assert all(line in shown for line in our_macro_lines())
    modules = inspect_json(sheetpack, loader["exe"])["loader"]["modules"]
    assert [module["name"] for module in modules] == ["ThisWorkbook", "Sheet1"]
    assert modules[0]["source"].endswith("\r\n".join(our_macro_lines()) + "\r\n")


def test_workbook_stream_follows_the_grammar(loader):
    """Walked from its first byte, the workbook stream is the globals substream, then the
    worksheet its BoundSheet8 points at, then whole empty record headers to its end; each
    substream holds the records the format's grammar requires, in its order."""
    with olefile.OleFileIO(str(loader["path"])) as ole:
        stream = ole.openstream("Workbook").read()
    globals_ = biff_records(stream, 0)
    check_grammar(globals_, GLOBALS_GRAMMAR, "globals")
    bound_sheets = [payload for _, record_id, payload in globals_ if record_id == 0x0085]
    sheet_at, = struct.unpack_from("<I", bound_sheets[0])
    assert sheet_at == globals_[-1][0] + 4, "the worksheet follows the globals' EOF"
    sheet = biff_records(stream, sheet_at)
    check_grammar(sheet, WORKSHEET_GRAMMAR, "worksheet")
    # What the loader needs beyond the grammar: the project, and both code names.
    assert [r for _, r, _ in globals_].count(0x00D3) == 1
    assert [r for _, r, _ in globals_].count(0x01BA) == 1
    assert [r for _, r, _ in sheet].count(0x01BA) == 1
    # Index.ibXF: the stream position of DefColWidth.
    index = next(payload for _, r, payload in sheet if r == 0x020B)
    assert struct.unpack_from("<I", index, 12)[0] == next(at for at, r, _ in sheet if r == 0x0055)
    padding = stream[sheet[-1][0] + 4:]
    assert len(stream) >= 4096 and len(padding) % 4 == 0 and padding == bytes(len(padding))


def test_a_kit_loader_of_another_kind_is_reported_not_read(app, sheetpack, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    assert "error" in inspect_json(sheetpack, exe)["loader"]


@pytest.mark.skipif(shutil.which("soffice") is None, reason="LibreOffice (libreoffice-calc) is not installed")
def test_libreoffice_imports_our_macro(loader, tmp_path):
    """LibreOffice converts the loader to .ods without a complaint and keeps its VBA
    modules as Basic modules; apart from the two lines it puts first and an empty one it
    puts last, the imported source is ours, line for line."""
    started = time.monotonic()
    result = subprocess.run(
        ["soffice", "--headless", f"-env:UserInstallation={(tmp_path / 'profile').as_uri()}",
         "--convert-to", "ods", "--outdir", str(tmp_path), str(loader["path"])],
        capture_output=True, timeout=600)
    print(f"LibreOffice took {time.monotonic() - started:.1f} s: {result.stdout.decode().strip()}")
    complaints = [line for line in result.stderr.decode().splitlines() if "javaldx" not in line]
    assert result.returncode == 0 and complaints == [], result.stderr.decode()
    ods = tmp_path / "loader.ods"
    shutil.unpack_archive(ods, tmp_path / "ods", "zip")
    namespace = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0"}
    content = ElementTree.parse(tmp_path / "ods" / "content.xml")
    assert [t.get(f"{{{namespace['table']}}}name") for t in content.iter(f"{{{namespace['table']}}}table")] == ["Sheet1"]
    imported = {}
    for name in ("ThisWorkbook", "Sheet1"):
        module = ElementTree.parse(tmp_path / "ods" / "Basic" / "VBAProject" / f"{name}.xml").getroot()
        assert module.get("{http://openoffice.org/2000/script}moduleType") == "document"
        imported[name] = module.text.splitlines()
    for lines in imported.values():
        assert lines[:2] == ["Rem Attribute VBA_ModuleType=VBADocumentModule", "Option VBASupport 1"]
        assert lines[-1] == ""
    assert imported["ThisWorkbook"][2:-1] == our_macro_lines()
    assert imported["Sheet1"][2:-1] == []


def test_readers_written_elsewhere_accept_the_loader_without_a_word(loader):
    """msoffcrypto-tool walks the workbook stream record by record to its end; xlrd reads the
    globals and the sheet with their formatting and says nothing in its log (it writes
    every doubt there, as a WARNING or a *** note); olefile at its strictest level raises
    on any defect of the compound file it notices, even one it is unsure of."""
    import io

    import msoffcrypto
    import xlrd

    with open(loader["path"], "rb") as file:
        assert msoffcrypto.OfficeFile(file).is_encrypted() is False
    log = io.StringIO()
    book = xlrd.open_workbook(str(loader["path"]), formatting_info=True, logfile=log)
    assert log.getvalue() == ""
    assert book.sheet_names() == ["Sheet1"]
    sheet = book.sheet_by_index(0)
    assert (sheet.nrows, sheet.ncols) == (0, 0)
    assert sheet.defcolwidth == 8
    # The built-in number formats the globals store: the accounting ones among them.
    assert {5, 6, 7, 8, 41, 42, 43, 44} <= set(book.format_map)
    assert "#,##0.00" in book.format_map[44].format_str
    with olefile.OleFileIO(str(loader["path"]), raise_defects=olefile.DEFECT_UNSURE) as ole:
        assert ole.parsing_issues == []
        assert ole.exists("Workbook")
        # A storage has no sectors of its own; the root names the host's workbook class.
        for path in ("_VBA_PROJECT_CUR", "_VBA_PROJECT_CUR/VBA"):
            assert ole.direntries[ole._find(path)].isectStart == 0
        assert ole.root.clsid == "00020820-0000-0000-C000-000000000046"


@pytest.mark.skipif(shutil.which("soffice") is None, reason="LibreOffice (libreoffice-calc) is not installed")
def test_libreoffice_converts_the_sheet_to_csv(loader, tmp_path):
    """LibreOffice reads the sheet as the empty sheet it is and writes it as text."""
    result = subprocess.run(
        ["soffice", "--headless", f"-env:UserInstallation={(tmp_path / 'profile').as_uri()}",
         "--convert-to", "csv", "--outdir", str(tmp_path), str(loader["path"])],
        capture_output=True, timeout=600)
    complaints = [line for line in result.stderr.decode().splitlines() if "javaldx" not in line]
    assert result.returncode == 0 and complaints == [], result.stderr.decode()
    assert (tmp_path / "loader.csv").read_text().strip() == ""
