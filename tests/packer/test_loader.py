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
    globals and the sheet with their formatting; olefile at its strictest raises on any
    defect of the compound file it notices."""
    import msoffcrypto
    import xlrd

    with open(loader["path"], "rb") as file:
        assert msoffcrypto.OfficeFile(file).is_encrypted() is False
    book = xlrd.open_workbook(str(loader["path"]), formatting_info=True, logfile=open("/dev/null", "w"))
    assert book.sheet_names() == ["Sheet1"]
    with olefile.OleFileIO(str(loader["path"]), raise_defects=olefile.DEFECT_INCORRECT) as ole:
        assert ole.exists("Workbook")
        # A storage has no sectors of its own; the root names the host's workbook class.
        for path in ("_VBA_PROJECT_CUR", "_VBA_PROJECT_CUR/VBA"):
            assert ole.direntries[ole._find(path)].isectStart == 0
        assert ole.root.clsid == "00020820-0000-0000-C000-000000000046"
