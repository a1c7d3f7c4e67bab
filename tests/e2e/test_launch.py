"""A packed application launched against the stand-in host: the add-in of the host's
bitness is started through the loader, gets its messages in order, and the workspace
is cleaned up once the host lets go of it; for each stub against a host of its own
bitness and of the other."""
import shutil
import time

import pytest

from harness import scaled, workbooks
from launch_support import Packed, check_loader_folder, events, file_id, folder_files

WORKBOOK = workbooks.ooxml("xlsm", cell="a launch", payload=bytes(range(256)) * 20)


def pack(scenario, stub, addin_kit, sheetpack):
    (scenario.folder / "Book.xlsm").write_bytes(WORKBOOK)
    return Packed(sheetpack, scenario.pack({"title": "E2E", "workbook": "Book.xlsm", "addinKit": str(addin_kit)}, stub))


@pytest.fixture
def app(scenario, stub_x64, addin_kit, sheetpack):
    return pack(scenario, stub_x64, addin_kit, sheetpack)


BITNESS = {
    # case: (stub, stand-in host, host version, product code's fourth group); the add-in
    # written is the host's own
    "x64-stub-64-bit-host": ("x64", "x64", "16", "1000"),
    "x86-stub-32-bit-host": ("x86", "x86", "16", "0000"),
    "x64-stub-32-bit-host-12": ("x64", "x86", "12", "0000"),
    "x64-stub-32-bit-host-16": ("x64", "x86", "16", "0000"),
    "x86-stub-64-bit-host-16": ("x86", "x64", "16", "1000"),
}
# The mixed cases run in every run, even where the 32-bit side is emulated: the add-in of the
# other bitness written, loaded and given every message.
EVERY_RUN = {"x64-stub-32-bit-host-16", "x86-stub-64-bit-host-16"}


@pytest.mark.parametrize("launcher,host_bitness,version,group",
                         [pytest.param(*case, id=name, marks=[pytest.mark.x86_every_run] if name in EVERY_RUN else [])
                          for name, case in BITNESS.items()])
def test_launch_hands_the_workbook_to_the_add_in_and_cleans_up(scenario, stubs, addin_kit, sheetpack, launcher,
                                                               host_bitness, version, group):
    app = pack(scenario, stubs(launcher), addin_kit, sheetpack)
    scenario.host(version=f"{version}.0", productCode=f"{{90{version}0000-000F-0000-{group}-0000000FF1CE}}",
                  quitAfter1171=2000, after1171="cleanup")

    driver = scenario.launch(app.program)
    assert driver.windows == [] and driver.exit_code == 0

    journal = scenario.wait_for_host_end()
    # The host read the loader that sheetpack wrote and found the macro that starts the add-in.
    assert events(journal, "vba") == [["ThisWorkbook", "declare=1", "call=1", "load=wide"]]
    messages = [(int(n), int(w), int(l)) for n, w, l in events(journal, "msg")]
    launcher_pid = messages[0][1]
    assert launcher_pid != 0
    assert messages == [(1159, launcher_pid, 0), (1181, 51, 1033 & 0xFF), (1160, 0, 0), (1156, 0, 0), (1158, 0, 0),
                        (1166, 0, 0), (1155, 0, 0), (1157, 0, 0), (1164, 0, 0), (1168, 0, 0), (1163, 0, 0),
                        (1179, 0, 0), (1171, 0, 0)]

    # The start-up information: the workbook's path and the launcher naming itself (the
    # process that sent 1159, and its executable), a line each.
    (info,) = events(journal, "startinfo")
    workbook, named_id, named_path = bytes.fromhex(info[0]).decode("utf-8").split("\n")
    assert int(named_id) == int(launcher_pid)
    assert named_path.lower().endswith("\\app.exe")
    assert workbook.endswith("\\App.xlsm")
    workspace = workbook.rsplit("\\", 1)[0]

    # The loader's folder when it was opened: the loader workbook and the add-in of the
    # host's bitness beside the workbook, and the host loaded it.
    check_loader_folder(journal, app, (addin_kit / f"addin-{host_bitness}.dll").read_bytes())
    assert folder_files(journal)["App.xlsm"] == file_id(WORKBOOK)
    assert ["loader", "1"] in journal
    assert journal.index(["visible", "1"]) > journal.index(["msg", "1179", "0", "0"])

    # The add-in started the launcher in cleanup mode; it removes the workspace once the
    # host has ended and unloaded the add-in.
    (cleanup,) = events(journal, "cleanup")
    assert f'-clnx "{workbook}" -clnd "{workspace}\\pelkostub.dll"' in cleanup[0]
    folder_on_disk = scenario.wine.unix_path(workspace)
    deadline = time.monotonic() + scaled(30)
    while folder_on_disk.exists() and time.monotonic() < deadline:
        time.sleep(0.2)
    assert not folder_on_disk.exists(), f"{workspace} was not removed"


def test_a_64_bit_host_reporting_a_32_bit_build_gets_the_32_bit_add_in_it_cannot_load(scenario, app, addin_kit):
    scenario.host(productCode="{90160000-000F-0000-0000-0000000FF1CE}", quitAfter1171=0)

    driver = scenario.launch(app.program)
    assert driver.exit_code == 0

    journal = scenario.wait_for_host_end()
    check_loader_folder(journal, app, (addin_kit / "addin-x86.dll").read_bytes())
    # A 64-bit host cannot load it: the add-in never runs and no message is journaled.
    assert [fields[:2] for fields in journal if fields[0] == "loader"] == [["loader", "error"]]
    assert events(journal, "msg") == []


@pytest.mark.parametrize("loader, found", [
    ("not a workbook", ["error"]),
    ("macro calls with 1171", ["ThisWorkbook", "declare=1", "call=0"]),
])
def test_a_loader_without_the_macro_starts_no_add_in(scenario, app, stub_x64, addin_kit, loader, found):
    written = app.extract(1018)
    if loader == "not a workbook":
        damaged = b"Stand-in loader workbook: the stand-in host does what its open macro would do.\n"
    else:
        # The code is stored as literals in the compressed module stream: change it there.
        assert written.count(b"1170") == 1
        damaged = written.replace(b"1170", b"1171")
    kit = scenario.folder / "kit"
    shutil.copytree(addin_kit, kit)
    (kit / "loader.xls").write_bytes(damaged)
    program = scenario.pack({"title": "E2E", "workbook": "Book.xlsm", "addinKit": str(kit)}, stub_x64)
    scenario.host(quitAfter1171=0)

    scenario.launch(program)
    journal = scenario.wait_for_host_end()
    assert [fields[:len(found)] for fields in events(journal, "vba")] == [found]
    # The add-in was never loaded, so no message reached it.
    assert events(journal, "loader") == [] and events(journal, "msg") == []
