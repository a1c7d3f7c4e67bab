"""The runtime add-in's whole part of a launch, with the runtime kit instead of the stand-in
add-in: it opens the packaged workbook after 1171, gives the host the application's title,
and when the host goes it has the workspace removed (cleanup mode) or writes the saved
state and lets the resident launcher go. The stand-in host plays the user: it closes the
workbook or its main window, saves on the way, refuses the workbook or dies."""
import json
import struct
import zlib

import pytest

from harness import message_text
from launch_support import CAPTION, WORKBOOK, Shelf, events, folder_files, invokes, puts, run_sheetpack

TITLE = "Runtime Life"
HOST_CLASS = "XLMAIN"
WORKBOOKS_OPEN = 682
USER_SAVE = "-- saved by the user"
CONTAINER_MAGIC = b"QZH\0"
SAVED_STATE_HEADER = struct.Struct("<IIII8sHHIII")


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub, runtime_kit):
    """The applications packed with each stub in turn, run against the host of its bitness."""
    return Shelf(tmp_path_factory, sheetpack, stub, runtime_kit)


def workbook_opens(journal):
    """The opens of anything but the loader, as (path, tick)."""
    return [(path, int(tick)) for path, tick in events(journal, "open") if not path.lower().endswith(".xls")]


def launch_until_host_gone(scenario, app, **answers):
    driver = scenario.launch(app.program, answers=answers or None, host_class=HOST_CLASS)
    assert driver.exit_code == 0
    assert ["host", "gone"] in driver.lines
    return driver


def launch_to_host_end(scenario, app, **answers):
    driver = launch_until_host_gone(scenario, app, **answers)
    return driver, scenario.wait_for_host_end()


def per_user_states(scenario):
    """The saved-state files in the user's own folder: named after an application's
    identity, or, as before there was one, after the path of an executable App.exe."""
    found = (scenario.wine.prefix / "drive_c" / "users").glob("*/AppData/Local/Sheetpack/*.vstg")
    return sorted(path for path in found if path.name.startswith(("app-", "App-")))


def clear_per_user_states(scenario):
    for path in per_user_states(scenario):
        path.unlink()


def saved_workbook(path):
    """The spreadsheet file a saved-state file carries, unpacked and without its marker."""
    data = path.read_bytes()
    _, size, _, _, _, name, _, settings, workbook, _ = SAVED_STATE_HEADER.unpack_from(data)
    section = data[size + name + settings:size + name + settings + workbook]
    if section.startswith(CONTAINER_MAGIC):
        section = zlib.decompress(section[24:])
    assert section[:4] == struct.pack("<I", 0x30751092)
    return section[4:]


@pytest.mark.parametrize("closes", ["window", "workbook"])
def test_whole_life_ends_with_the_workspace_gone(scenario, shelf, closes):
    app = shelf.get("life", title=TITLE)
    scenario.host(userCloses=closes, userDelay=1500)

    _, journal = launch_to_host_end(scenario, app)

    ((path, opened),) = workbook_opens(journal)
    assert path.endswith("\\App.xlsm") and "App.xlsm" in folder_files(journal)
    # The file name, eleven arguments left out and AddToMru false: not on the recent-files list.
    (open_call,) = [call for call in invokes(journal, WORKBOOKS_OPEN) if call[2] == path]
    assert open_call[:27] == ["method", "bstr", path] + ["error", str(-2147352572)] * 11 + ["bool", "0"]
    # The launcher's caption first, the application's title once the workbook is open.
    assert puts(journal, CAPTION)[-1] == ("bstr", TITLE)
    ((posted, tick),) = events(journal, "posted")
    assert posted == "1171"
    print(f"1171 to the workbook open in the host: {opened - int(tick)} ms")
    assert opened >= int(tick)
    if closes == "workbook":
        # With the application's workbook gone and no other open, the runtime quits the host.
        assert ["close", "user", path] in journal and ["quit"] in journal
    assert scenario.left_behind() == []


def test_busy_host_is_asked_again(scenario, shelf):
    app = shelf.get("life", title=TITLE)
    scenario.host(busyOpens=3, userCloses="window", userDelay=500)

    _, journal = launch_to_host_end(scenario, app)

    assert len(workbook_opens(journal)) == 4
    assert puts(journal, CAPTION)[-1] == ("bstr", TITLE)
    assert scenario.left_behind() == []


def test_refused_workbook_is_reported_and_the_host_quit(scenario, shelf):
    app = shelf.get("life", title=TITLE)
    scenario.host(rejectWorkbook=1)

    driver, journal = launch_to_host_end(scenario, app, **{TITLE: "press:1"})

    (box,) = driver.windows
    assert box.title == TITLE
    assert box.owner[0] == HOST_CLASS
    (text,) = [t for t in box.texts("Static") if t]
    assert text.startswith(message_text(35)) and "is not valid" in text
    assert ["quit"] in journal
    assert ("bstr", TITLE) not in puts(journal, CAPTION)
    assert scenario.left_behind() == []


# The x86 stub's whole life with the x86 runtime in the 32-bit host runs in every run, even
# where the 32-bit side is emulated.
@pytest.mark.x86_every_run
def test_saved_state_life_and_a_second_run_from_it(scenario, shelf, sheetpack):
    app = shelf.get("resident-life", title=TITLE, options={"savedState": True})
    clear_per_user_states(scenario)
    scenario.host(userCloses="window", userDelay=1500, userSave=USER_SAVE)

    _, journal = launch_to_host_end(scenario, app)

    # In the user's own folder, not beside the executable.
    assert not app.program.with_suffix(".vstg").exists()
    (state_file,) = per_user_states(scenario)
    ((path, _),) = workbook_opens(journal)
    (saved,) = [event for event in events(journal, "user") if event[0] == "save"]  # save "<path>" <size>
    assert saved[1] == path
    inspected = json.loads(run_sheetpack(sheetpack, "inspect", "--saved-state", state_file, "--json"))
    assert inspected["valid"] and inspected["nameText"] == "App.xlsm"
    assert inspected["settings"]["appTitle"] == TITLE
    assert saved_workbook(state_file) == WORKBOOK + USER_SAVE.encode()
    assert not list(state_file.parent.glob("*.tmp")), "the temporary file of the atomic write stays"
    assert scenario.left_behind() == []

    # The second run starts from the saved workbook, and saves again what it closes with.
    scenario.host(userCloses="window", userDelay=500)
    _, journal = launch_to_host_end(scenario, app)
    assert folder_files(journal)["App.xlsm"][0] == len(WORKBOOK) + len(USER_SAVE)
    assert saved_workbook(state_file) == WORKBOOK + USER_SAVE.encode()
    assert scenario.left_behind() == []


@pytest.mark.parametrize("saved_state", [False, True], ids=["cleanup-mode", "saved-state"])
def test_killed_host_leaves_no_process_waiting(scenario, shelf, saved_state):
    """No runtime code runs in a host that is killed. Outside saved-state mode the launcher
    is gone already and its watcher sees the host's process end; in it, the resident
    launcher does, and stops waiting for a signal that cannot come. Either removes the
    workspace."""
    app = (shelf.get("resident-life", title=TITLE, options={"savedState": True}) if saved_state
           else shelf.get("life", title=TITLE))
    clear_per_user_states(scenario)
    scenario.host(dieAfterOpen=1000)

    launch_until_host_gone(scenario, app)

    journal = scenario.host_journal()
    assert len(workbook_opens(journal)) == 1
    assert ["died"] in journal and ["end"] not in journal
    if saved_state:
        assert per_user_states(scenario) == [], "nothing was saved for a host that died"
    assert scenario.left_behind() == []
