"""A user's temporary folder with characters outside the ANSI code page (a Polish name on a
Western-European system, a Japanese one anywhere else): the loader's open macro must
still load the add-in from the workspace there. The stand-in host hands the path to the
macro's LoadLibrary declaration as VBA would: through the ANSI code page for an ...A
declaration, as it is for ...W."""
import io
import math
import struct

import olefile
import pytest

from harness import windows_path, workbooks
from launch_support import Packed, events, workspace_of

FOLDER = "Łódź 東京"
WORKBOOK = workbooks.ooxml("xlsm", cell="Wide")


@pytest.fixture
def app(scenario, stub, addin_kit, sheetpack):
    (scenario.folder / "Book.xlsm").write_bytes(WORKBOOK)
    return Packed(sheetpack, scenario.pack({"title": "Wide", "workbook": "Book.xlsm", "addinKit": str(addin_kit)}, stub))


def literal_origins(container):
    """MS-OVBA decompression that says, for each byte of the source, where in the compressed
    container the literal it was copied from lies."""
    assert container[0] == 1
    origins, position = [], 1
    while position < len(container):
        (header,) = struct.unpack_from("<H", container, position)
        end = position + 2 + (header & 0x0FFF) + 1
        position += 2
        assert header & 0x8000, "an uncompressed chunk"
        start = len(origins)
        while position < end:
            flags = container[position]
            position += 1
            for bit in range(8):
                if position >= end:
                    break
                if not flags >> bit & 1:
                    origins.append(position)
                    position += 1
                    continue
                (token,) = struct.unpack_from("<H", container, position)
                position += 2
                bits = max(math.ceil(math.log2(len(origins) - start)), 4)
                length = (token & (0xFFFF >> bits)) + 3
                offset = (token >> (16 - bits)) + 1
                for _ in range(length):
                    origins.append(origins[-offset])
    return origins


def with_ansi_load(loader):
    """The loader as it was before: LoadLibraryA with the String path. The first
    LoadLibraryW of the module is stored as literals and the later ones are copies of it,
    so one byte of the compressed stream turns every one into LoadLibraryA."""
    stream = olefile.OleFileIO(io.BytesIO(loader)).openstream("_VBA_PROJECT_CUR/VBA/ThisWorkbook").read()
    origins = literal_origins(stream)
    text = bytes(stream[origin] for origin in origins)
    at = origins[text.index(b"LoadLibraryW") + len("LoadLibrary")]
    window = stream[at - 12:at + 12]
    assert loader.count(window) == 1
    place = loader.index(window) + 12
    changed = loader[:place] + b"A" + loader[place + 1:]
    changed_stream = olefile.OleFileIO(io.BytesIO(changed)).openstream("_VBA_PROJECT_CUR/VBA/ThisWorkbook").read()
    changed_text = bytes(changed_stream[origin] for origin in literal_origins(changed_stream))
    assert b"LoadLibraryW" not in changed_text and b"Function LoadLibraryA Lib" in changed_text
    return changed


def launch_in_wide_temp(scenario, program, folder=FOLDER):
    temp = scenario.folder / folder
    temp.mkdir()
    scenario.host(quitAfter1171=0)
    scenario.launch(program, env={"TEMP": windows_path(temp), "TMP": windows_path(temp)})
    return scenario.wait_for_host_end(), temp


def test_the_add_in_starts_from_a_folder_outside_the_ansi_code_page(scenario, app):
    journal, temp = launch_in_wide_temp(scenario, app.program)
    assert FOLDER in workspace_of(journal)
    assert events(journal, "vba") == [["ThisWorkbook", "declare=1", "call=1", "load=wide"]]
    assert events(journal, "loader") == [["1"]]
    assert 1171 in [int(fields[0]) for fields in events(journal, "msg")]


@pytest.mark.parametrize("folder", ["Lodz Tokyo", FOLDER])
def test_a_macro_that_loads_by_an_ansi_path_starts_the_add_in_only_where_the_code_page_reaches(scenario, app, stub,
                                                                                              addin_kit, folder):
    ansi = with_ansi_load(app.extract(1018))
    kit = scenario.folder / "kit"
    kit.mkdir()
    for name in ("addin-x64.dll", "addin-x86.dll"):
        (kit / name).write_bytes((addin_kit / name).read_bytes())
    (kit / "loader.xls").write_bytes(ansi)
    program = scenario.pack({"title": "Wide", "workbook": "Book.xlsm", "addinKit": str(kit)}, stub)

    journal, _ = launch_in_wide_temp(scenario, program, folder)
    assert [fields[-1] for fields in events(journal, "vba")] == ["load=ansi"]
    if folder.isascii():
        assert events(journal, "loader") == [["1"]]
        return
    # The path arrives with '?' for the characters the code page lacks: nothing is loaded,
    # no message reaches an add-in, and the application never opens.
    assert events(journal, "loader")[0][0] == "error"
    assert events(journal, "msg") == []
