"""DLL planting: a packaged application usually runs from the user's Downloads folder,
where anybody may have left a DLL named like a library the launcher loads. With such a
DLL beside the application under every name the launcher (or a Windows component on
its behalf) loads at run time, and the application started from that folder, none of
them is loaded: the launch and cleanup mode work as always and no marker appears.

The planted DLL (testkit/planted) leaves "<its path>.loaded" beside itself when loaded.
Wine's trace of every library load (WINEDEBUG=+loaddll) shows more than the markers:
where Wine prefers its own builtin library it maps that under the name of the file it
found in the application's folder, and the planted DllMain never runs. So the trace
must not show the launcher loading anything from that folder but the application
itself, apart from what Wine's own system libraries load while the launcher's static
imports are resolved, before its first instruction (PRE_ENTRY).
"""
import re
import shutil

import pytest

from harness import message_text, pack_application, windows_path, workbooks
from launch_support import message_numbers
from ui_support import TITLE, app_config, make_jpeg

NOTICE = f"{TITLE} - {message_text(17)}"
SPLASH = "SheetpackSplash"

# Every library the launcher loads under Wine (rich edit, GDI+, themes, version, script
# shaping, imaging, property system, input methods and what those pull in), found with
# WINEDEBUG=+loaddll, except its static imports (ADVAPI32, GDI32, KERNEL32, msvcrt,
# ole32, OLEAUT32, SHELL32, USER32) and theirs: those are known DLLs on Windows, never
# looked up in the application's folder.
PLANTED_NAMES = [
    "msftedit.dll", "riched20.dll", "gdiplus.dll", "uxtheme.dll", "version.dll", "usp10.dll",
    "windowscodecs.dll", "propsys.dll", "imm32.dll", "actxprxy.dll",
]

# Wine's USER32 imports version.dll and loads imm32.dll in its DllMain, while Windows
# resolves the launcher's static imports and before any code of the launcher runs, with
# the search order every process starts with. Wine maps its builtin copies there (never
# the planted file); on Windows USER32 needs no version.dll and imm32.dll is a known DLL.
PRE_ENTRY = {"version.dll", "imm32.dll"}

LOADED = re.compile(r'^(\w+):trace:loaddll:build_module Loaded L"((?:[^"\\]|\\.)*)" at \w+: (\w+)', re.MULTILINE)


@pytest.fixture(scope="session")
def planted_dll(build_win64):
    path = build_win64 / "testkit" / "planted.dll"
    if not path.exists():
        pytest.fail(f"{path} does not exist: build the win64 preset first")
    return path


# The scenarios take the stub as a parameter, so that the 32-bit stub joins them once it
# runs under Wine here.
@pytest.fixture(params=["x64"])
def stub(request):
    return request.getfixturevalue(f"stub_{request.param}")


@pytest.fixture
def downloads(scenario, stub, addin_kit, planted_dll):
    """A packaged application with a start notice (rich edit, GDI+ sign) and a splash
    picture (OLE picture, imaging codecs) in a folder of its own, with the planted DLL
    beside it under every name."""
    folder = scenario.folder / "Downloads"
    folder.mkdir()
    (folder / "Book.xlsm").write_bytes(workbooks.ooxml("xlsm"))
    (folder / "notice.txt").write_bytes("Welcome to <?APPNAME?>: see www.example.com.".encode("utf-16-le"))
    make_jpeg(folder / "splash.jpg", 300, 200)
    config = app_config(addin_kit, notice="notice.txt", splash="splash.jpg", options={"splash": True})
    program = pack_application(scenario.packer(), folder, config, stub)
    for name in ("Book.xlsm", "notice.txt", "splash.jpg", "app.json"):
        (folder / name).unlink()
    for name in PLANTED_NAMES:
        shutil.copy(planted_dll, folder / name)
    return program


def loaded_by_launcher(log, program):
    """The library loads of each launcher process in Wine's trace: (Windows path, kind)
    pairs, kind "native" or "builtin"."""
    by_process = {}
    for process, path, kind in LOADED.findall(log.read_text(errors="replace")):
        by_process.setdefault(process, []).append((path.replace("\\\\", "\\"), kind))
    own = windows_path(program).lower()
    return [loads for loads in by_process.values() if own in (path.lower() for path, _ in loads)]


def loaded_from_folder(runs, program):
    """What the launcher loaded from the application's folder besides the application
    and Wine's builtin libraries of PRE_ENTRY."""
    prefix = windows_path(program.parent).lower() + "\\"
    found = set()
    for loads in runs:
        for path, kind in loads:
            name = path.rsplit("\\", 1)[-1].lower()
            if path.lower().startswith(prefix) and not (name in PRE_ENTRY and kind == "builtin"):
                found.add(path)
    return sorted(found)


def markers(folder):
    return sorted(path.name for path in folder.glob("*.loaded"))


def test_no_planted_library_is_loaded_by_a_launch(scenario, downloads):
    # The launcher starts its watcher, and the stand-in add-in runs the launcher in cleanup
    # mode afterwards: three launcher processes.
    scenario.host(quitAfter1171=500, after1171="cleanup")

    driver = scenario.launch(downloads, answers={NOTICE: "press:1", SPLASH: "wait"}, bare=True, debug="+loaddll")

    assert driver.exit_code == 0
    assert [w.class_name for w in driver.windows if w.title == NOTICE] == ["#32770"], "the notice was shown"
    assert SPLASH in [w.class_name for w in driver.windows], "the splash was shown"
    assert 1171 in message_numbers(scenario.wait_for_host_end())
    assert scenario.left_behind() == []
    assert markers(downloads.parent) == []
    runs = loaded_by_launcher(scenario.folder / "wine.log", downloads)
    assert len(runs) == 3, "the launch, its watcher and the add-in's cleanup"
    assert loaded_from_folder(runs, downloads) == [windows_path(downloads)]


def test_no_planted_library_is_loaded_in_cleanup_mode(scenario, downloads):
    workbook, addin = scenario.folder / "App.xlsm", scenario.folder / "pelkostub.dll"
    workbook.write_bytes(b"workbook")
    addin.write_bytes(b"add-in")

    driver = scenario.launch(downloads, "-clnx", windows_path(workbook), "-clnd", windows_path(addin), bare=True,
                             debug="+loaddll")

    assert driver.exit_code == 1
    assert not workbook.exists() and not addin.exists()
    assert markers(downloads.parent) == []
    runs = loaded_by_launcher(scenario.folder / "wine.log", downloads)
    assert len(runs) == 1
    assert loaded_from_folder(runs, downloads) == [windows_path(downloads)]
