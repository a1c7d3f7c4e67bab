"""The launcher's own path is the module's, however argv[0] spells it (relative and
without its extension as typed in a console, in another letter case, with forward
slashes, with ".." in it): the workbook is named after the file and lies in the
workspace, every spelling meets the same single-instance guard, and the add-in still
finds the command line exactly as it was given."""
import re

import pytest

from harness import message_text, windows_path
from launch_support import Shelf, events, workspace_of
from ui_support import BackgroundLaunch, xdotool

NOTICE = f"Outcomes - {message_text(17)}"


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub_x64, addin_kit):
    return Shelf(tmp_path_factory, sheetpack, stub_x64, addin_kit)


def spellings(program):
    """argv[0] as a user or a script might give it, each naming the same file."""
    full = windows_path(program)
    folder, name = full.rsplit("\\", 1)
    parent, last = folder.rsplit("\\", 1)
    return {
        "relative without extension": ".\\App",
        "relative in capitals": ".\\APP.EXE",
        "forward slash": f"{folder}/App.exe",
        "dot-dot leaving the folder and coming back": f"{folder}\\x/../../{last}/{name}",
        "full path in other letter case": full.upper(),
    }


SPELLINGS = ["relative without extension", "relative in capitals", "forward slash",
             "dot-dot leaving the folder and coming back", "full path in other letter case"]


@pytest.mark.parametrize("spelling", SPELLINGS)
def test_the_workbook_is_named_after_the_file_whatever_argv0_says(scenario, shelf, spelling):
    app = shelf.get("own-path")
    argv0 = spellings(app.program)[spelling]
    scenario.host(quitAfter1171=500)

    driver = scenario.launch(app.program, "-xlstest", argv0=argv0)

    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    (info,) = events(journal, "startinfo")
    workbook, _, launcher = bytes.fromhex(info[0]).decode("utf-8").split("\n")
    # The add-in gets the launcher's full path however argv[0] spells it.
    assert launcher[1:3] == ":\\" and launcher.lower().endswith("\\" + app.program.name.lower()), launcher
    # The workbook: the file's own name with the workbook's extension, in the workspace.
    folder, name = workbook.rsplit("\\", 1)
    assert folder == workspace_of(journal)
    assert re.fullmatch(r"[a-z][0-9a-z]{7}", folder.rsplit("\\", 1)[1])
    assert name.lower() == "app.xlsm"
    # What the add-in does once the host has let go.
    cleanup = scenario.launch(app.program, "-clnx", workbook, "-clnd", f"{folder}\\pelkostub.dll",
                              journal=scenario.folder / "cleanup.journal")
    assert cleanup.exit_code == 1
    assert scenario.left_behind() == []


def test_every_spelling_meets_the_same_single_instance_guard(scenario, shelf):
    app = shelf.get("own-path-single", files={"notice.txt": b"Welcome."}, notice="notice.txt",
                    options={"singleInstance": True})
    # The first launcher, started by its full path, holds the guard at its notice.
    first = BackgroundLaunch(scenario, app.program, answers={NOTICE: "wait"})
    first.wait_for_window(NOTICE)

    for number, argv0 in enumerate([".\\app", spellings(app.program)["full path in other letter case"]]):
        journal = scenario.folder / f"second-{number}.journal"
        second = scenario.launch(app.program, answers={"#32770": "press:1"}, journal=journal, argv0=argv0)
        assert [w.title for w in second.windows] == [message_text(8)], argv0
        assert "already running" in "".join(second.windows[0].texts("Static")), argv0
        assert second.exit_code == 0

    xdotool("search", "--name", NOTICE, "windowfocus", "--sync", "key", "Escape")
    assert first.result().exit_code == 0
    assert scenario.host_journal() == []
    assert scenario.left_behind() == []
