"""The executables sheetpack writes, as other PE readers see them: pefile,
llvm-readobj and GNU windres."""
import hashlib
import json
import subprocess

import pefile
import pytest

from conftest import build, run
from pe_tools import rc_languages, readobj_resources, res_file_entries, without_relocations

RT_ICON, RT_GROUP_ICON = 3, 14


def section(pe, name):
    return next(s for s in pe.sections if s.Name.rstrip(b"\0") == name)


def relocations(pe):
    return [(block.struct.VirtualAddress, [(entry.rva, entry.type) for entry in block.entries])
            for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])]


def item_sizes(sheetpack, exe):
    report = run(sheetpack, "inspect", exe, "--json")
    return {item["id"]: item["storedSize"] for item in json.loads(report.stdout)["items"]}


@pytest.mark.parametrize("arch", ["x64", "x86"])
def test_relocations_move_behind_the_grown_resources(sheetpack, app, tmp_path, stubs, arch):
    app.config["arch"] = arch
    exe = tmp_path / "App.exe"
    stub_hash = hashlib.sha256(stubs[arch].read_bytes()).digest()
    result = build(sheetpack, app, exe, "-v")
    assert result.returncode == 0, result.stderr.decode()
    assert b"relocations moved behind it" in result.stderr
    assert hashlib.sha256(stubs[arch].read_bytes()).digest() == stub_hash, "the stub was modified"

    stub, packed = pefile.PE(str(stubs[arch])), pefile.PE(str(exe))
    assert packed.verify_checksum()
    assert [s.Name for s in packed.sections] == [s.Name for s in stub.sections]
    old_rsrc, new_rsrc = section(stub, b".rsrc"), section(packed, b".rsrc")
    alignment = packed.OPTIONAL_HEADER.SectionAlignment
    assert new_rsrc.VirtualAddress == old_rsrc.VirtualAddress
    # The workbook alone spans many pages: the growth crosses section-alignment boundaries.
    assert new_rsrc.Misc_VirtualSize > old_rsrc.Misc_VirtualSize + 10 * alignment
    reloc = section(packed, b".reloc")
    assert reloc.VirtualAddress == -(-(new_rsrc.VirtualAddress + new_rsrc.Misc_VirtualSize) // alignment) * alignment
    assert packed.OPTIONAL_HEADER.SizeOfImage == -(-(reloc.VirtualAddress + reloc.Misc_VirtualSize) // alignment) * alignment
    for s in packed.sections:
        assert s.PointerToRawData % packed.OPTIONAL_HEADER.FileAlignment == 0
        assert s.SizeOfRawData % packed.OPTIONAL_HEADER.FileAlignment == 0
    growth = new_rsrc.SizeOfRawData - old_rsrc.SizeOfRawData
    assert packed.OPTIONAL_HEADER.SizeOfInitializedData == stub.OPTIONAL_HEADER.SizeOfInitializedData + growth
    assert relocations(packed) == relocations(stub) and relocations(packed)
    # Everything before the resources is untouched.
    assert exe.read_bytes()[0x400:old_rsrc.PointerToRawData] == stubs[arch].read_bytes()[0x400:old_rsrc.PointerToRawData]


def test_resources_last_grow_in_place(sheetpack, app, tmp_path, stubs):
    stub = tmp_path / "stub-no-reloc.exe"
    stub.write_bytes(without_relocations(stubs["x64"].read_bytes()))
    assert pefile.PE(str(stub)).sections[-1].Name.rstrip(b"\0") == b".rsrc"
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe, "--stub", stub, "-v")
    assert result.returncode == 0, result.stderr.decode()
    assert b"resource section rewritten in place," in result.stderr
    packed = pefile.PE(str(exe))
    assert packed.verify_checksum()
    assert len(packed.sections) == len(pefile.PE(str(stub)).sections)
    last = packed.sections[-1]
    alignment = packed.OPTIONAL_HEADER.SectionAlignment
    assert packed.OPTIONAL_HEADER.SizeOfImage == -(-(last.VirtualAddress + last.Misc_VirtualSize) // alignment) * alignment
    assert len(exe.read_bytes()) == last.PointerToRawData + last.SizeOfRawData


@pytest.mark.parametrize("arch", ["x64", "x86"])
def test_other_readers_list_every_item(sheetpack, app, tmp_path, arch):
    app.config["arch"] = arch
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    expected = item_sizes(sheetpack, exe)
    assert len(expected) == 17  # with the identity and the workbook digest

    listed = readobj_resources(exe)
    assert {name: size for (kind, name), size in listed.items() if kind == "EXTRSC"} == expected

    res = tmp_path / "App.res"
    windres = "x86_64-w64-mingw32-windres"
    subprocess.run([windres, "-i", str(exe), "-O", "res", "-o", str(res)], check=True)
    entries = res_file_entries(res.read_bytes())
    assert {name: len(data) for kind, name, data in entries if kind == "EXTRSC"} == expected
    rc = subprocess.run([windres, "-i", str(exe), "-O", "rc"], check=True, capture_output=True, text=True).stdout
    assert {name: language for (kind, name), language in rc_languages(rc).items() if kind == "EXTRSC"} == \
        {item: 1033 for item in expected}
    # The stub's own resources are still there.
    kinds = {kind for kind, _, _ in entries}
    assert {RT_ICON, RT_GROUP_ICON, 5, 16, 24} <= kinds


def test_icon_and_version_record(sheetpack, app, tmp_path):
    exe = tmp_path / "App.exe"
    assert build(sheetpack, app, exe).returncode == 0
    pe = pefile.PE(str(exe))
    resources = {entry.id: entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries if entry.id}

    def data(entry):
        leaf = entry.directory.entries[0].data.struct
        return pe.get_data(leaf.OffsetToData, leaf.Size)

    group = data(resources[RT_GROUP_ICON].directory.entries[0])
    count = int.from_bytes(group[4:6], "little")
    icon_ids = [int.from_bytes(group[6 + 14 * i + 12:6 + 14 * i + 14], "little") for i in range(count)]
    icons = {entry.id: data(entry) for entry in resources[RT_ICON].directory.entries}
    ico = app.files["app.ico"]
    images = [ico[int.from_bytes(ico[6 + 16 * i + 12:6 + 16 * i + 16], "little"):][
        :int.from_bytes(ico[6 + 16 * i + 8:6 + 16 * i + 12], "little")] for i in range(2)]
    assert [icons[i] for i in icon_ids] == images
    assert set(icons) == set(icon_ids), "the stub's old icon images are gone"

    strings = {k.decode(): v.decode() for k, v in pe.FileInfo[0][0].StringTable[0].entries.items()}
    assert strings == {"CompanyName": "Example Ltd", "FileDescription": "Quarterly report",
                       "LegalCopyright": "(c) 2024 Example Ltd", "ProductName": "Report",
                       "Comments": "Contact: team@example.com", "FileVersion": "1.2.3.0", "ProductVersion": "1.2.3.0"}
    fixed = pe.VS_FIXEDFILEINFO[0]
    assert (fixed.FileVersionMS, fixed.FileVersionLS) == (0x00010002, 0x00030000)
    assert (fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x00010002, 0x00030000)


def version_record(exe):
    pe = pefile.PE(str(exe))
    strings = {k.decode(): v.decode() for k, v in pe.FileInfo[0][0].StringTable[0].entries.items()}
    fixed = pe.VS_FIXEDFILEINFO[0]
    return strings, (fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS)


@pytest.mark.parametrize("arch", ["x64", "x86"])
@pytest.mark.parametrize("config, strings, version", [
    ({"title": "Budget Planner", "version": "2.2.0", "authorContact": "https://example.org/budget"},
     {"FileDescription": "Budget Planner", "ProductName": "Budget Planner", "Comments": "Contact: https://example.org/budget",
      "FileVersion": "2.2.0.0", "ProductVersion": "2.2.0.0"}, (0x00020002, 0, 0x00020002, 0)),
    ({"version": "1.5"},
     {"FileDescription": "Report", "ProductName": "Report", "FileVersion": "1.5.0.0", "ProductVersion": "1.5.0.0"},
     (0x00010005, 0, 0x00010005, 0)),
    ({"title": "Ledger", "versionInfo": {"fileDescription": "Ledger for teams"}},
     {"FileDescription": "Ledger for teams", "ProductName": "Ledger", "FileVersion": "0.0.0.0",
      "ProductVersion": "0.0.0.0"}, (0, 0, 0, 0)),
], ids=["title version contact", "no title", "a description of its own"])
def test_version_record_describes_the_application_by_default(sheetpack, app, tmp_path, arch, config, strings, version):
    """Without versionInfo the record is the application's, on either stub: nothing of
    the packer's own version or of the stub's description is left."""
    app.config = {"workbook": "Report.xlsm", "addinKit": "kit", "arch": arch, **config}
    exe = tmp_path / "App.exe"
    result = build(sheetpack, app, exe)
    assert result.returncode == 0, result.stderr.decode()
    assert version_record(exe) == (strings, version)


def test_output_is_reproducible_with_source_date_epoch(sheetpack, app, tmp_path):
    first, second = tmp_path / "a.exe", tmp_path / "b.exe"
    assert build(sheetpack, app, first).returncode == 0
    assert build(sheetpack, app, second).returncode == 0
    assert first.read_bytes() == second.read_bytes()
    assert build(sheetpack, app, second, env={"SOURCE_DATE_EPOCH": "1700000001"}).returncode == 0
    assert first.read_bytes() != second.read_bytes()
