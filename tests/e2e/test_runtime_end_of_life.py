"""The runtime's end of life against a host that behaves as real ones do: the saved state
written at every save (so a killed host loses nothing saved), a write that fails told to
the user, a main window per workbook (one going is not the host ending), an open macro that
pumps messages inside Workbooks.Open, and a user's own workbook that keeps the host."""
import os
import subprocess
import time

import pytest

from harness import message_text, windows_path
from launch_support import events
from test_runtime import HOST_CLASS, TITLE, launch_to_host_end, launch_until_host_gone, saved_workbook, \
    workbook_opens, WORKBOOK

USER_SAVE = "-- saved by the user"


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub, runtime_kit):
    from launch_support import Shelf
    return Shelf(tmp_path_factory, sheetpack, stub, runtime_kit)


def saved_state_app(shelf, name):
    """The state beside the executable, where a folder the user cannot write is a case to meet."""
    app = shelf.get(name, title=TITLE, options={"savedState": True}, savedStateLocation="beside")
    app.program.with_suffix(".vstg").unlink(missing_ok=True)
    return app


def lines_before(journal, later):
    """The journal's lines before the first one starting with the fields `later`."""
    end = next((i for i, line in enumerate(journal) if line[:len(later)] == later), len(journal))
    return journal[:end]


def before(journal, event, later):
    """Whether `event` (a whole line) comes before the first line starting with `later`."""
    return event in lines_before(journal, later)


def closes_before(journal, later):
    return [line for line in lines_before(journal, later) if line[0] == "close"]


def test_two_saves_then_a_killed_host_keep_the_second_save(scenario, shelf):
    app = saved_state_app(shelf, "two-saves")
    scenario.host(userSave=USER_SAVE, userSaves=2, userSaveEvery=700, dieAfterOpen=2800)

    launch_until_host_gone(scenario, app)

    journal = scenario.host_journal()
    assert [event[0] for event in events(journal, "user")] == ["save", "save"]
    assert ["died"] in journal and ["end"] not in journal
    second = WORKBOOK + f"{USER_SAVE} 1{USER_SAVE} 2".encode()
    assert saved_workbook(app.program.with_suffix(".vstg")) == second
    assert scenario.left_behind() == []


def test_a_state_that_cannot_be_written_is_kept_where_the_next_start_takes_it(scenario, shelf):
    """The executable's folder cannot be written (made immutable, which holds for root
    too): the user is told at the save, while the workbook is open, and again at the end.
    The work is not handed over as a copy only the application could open: it is kept as a
    state of the application's own in the user's folder, which each box names, and the
    next start, the folder writable again, continues from it and carries it into the state."""
    app = saved_state_app(shelf, "read-only-folder")
    folder = app.program.parent
    state = app.program.with_suffix(".vstg")
    if subprocess.run(["chattr", "+i", str(folder)], capture_output=True).returncode != 0:
        pytest.skip("chattr +i is not available here")
    try:
        scenario.host(userSave=USER_SAVE, userSaves=1, userSaveEvery=300, userCloses="window", userDelay=2500)
        driver, journal = launch_to_host_end(scenario, app)
    finally:
        subprocess.run(["chattr", "-i", str(folder)], check=True)

    assert not state.exists()
    # A box at each save the watch saw while the workbook was open (the one during the
    # session, and the one right before the close, which is seen by the watch or at the
    # end), and the last one at the end.
    boxes = [window for window in driver.windows if window.title == TITLE]
    assert len(boxes) >= 2, [window.title for window in driver.windows]
    (recovered,) = (scenario.wine.prefix / "drive_c" / "users").glob("*/AppData/Local/Sheetpack/*.recovered.vstg")
    saved = WORKBOOK + f"{USER_SAVE} 1{USER_SAVE}".encode()
    assert saved_workbook(recovered) == saved
    for box in boxes:
        assert box.owner[0] == HOST_CLASS
        (text,) = [t for t in box.texts("Static") if t]
        assert text.startswith(message_text(67)) and windows_path(state).lower() in text.lower()
        assert message_text(68) in text and message_text(69) in text
        assert f"\\AppData\\Local\\Sheetpack\\{recovered.name}" in text
    # Nothing else is left for the user to find: no copy in the temporary folder.
    assert scenario.left_behind() == []
    assert ["quit"] not in journal

    scenario.host(userCloses="window", userDelay=1000)
    launch_to_host_end(scenario, app)
    assert saved_workbook(state) == saved
    assert not recovered.exists()


@pytest.mark.parametrize("saved_state", [False, True], ids=["cleanup-mode", "saved-state"])
def test_closing_the_workbook_with_another_window_open_ends_nothing(scenario, shelf, tmp_path, saved_state):
    """One main window per workbook: the packaged workbook's window goes with it, the host
    and the user's own workbook in its window stay. The workspace is still there when the
    user closes the host (in saved-state mode the resident launcher is not told to remove
    it early), and gone after."""
    app = saved_state_app(shelf, "windows-saved") if saved_state else shelf.get("life", title=TITLE)
    own = tmp_path / "Own.xlsx"
    own.write_bytes(b"the user's own workbook")
    scenario.host(windowPerWorkbook=1, userOpens=windows_path(own), userOpensAt=300, userCloses="workbook",
                  userDelay=1500, userQuitsAfter=3500)

    _, journal = launch_to_host_end(scenario, app)

    ((path, _),) = workbook_opens(journal)
    assert before(journal, ["close", "user", path], ["user", "close"])
    assert before(journal, ["window", "destroyed"], ["user", "close"])
    assert ["exists", path, "1"] in journal, "the workspace was removed while the host ran"
    assert ["quit"] not in journal, "the host was quit with the user's workbook open"
    assert scenario.left_behind() == []
    if saved_state:
        assert saved_workbook(app.program.with_suffix(".vstg")) == WORKBOOK


def test_an_open_macro_box_starts_no_second_open(scenario, shelf):
    """The first open finds the host busy; the second runs the workbook's open macro, whose
    box pumps messages while Workbooks.Open has not returned. The retry timer must not
    open the workbook again inside it, and nothing is closed or quit."""
    app = shelf.get("life", title=TITLE)
    scenario.host(busyOpens=1, openMacroBox="Welcome", userCloses="window", userDelay=2500)

    _, journal = launch_to_host_end(scenario, app)

    assert len(workbook_opens(journal)) == 2
    assert ["nested", "open"] not in journal
    assert ["macro", "box"] in journal and ["macro", "box", "closed"] in journal
    assert ["quit"] not in journal
    assert closes_before(journal, ["user", "close"]) == []
    assert scenario.left_behind() == []


def test_the_give_up_leaves_the_users_workbook_and_the_host(scenario, shelf, tmp_path):
    """The user opens a workbook of their own while the host answers busy; then the
    packaged workbook is refused. The box says so truthfully, nothing is closed and the
    host is not quit: the user closes it later."""
    app = shelf.get("life", title=TITLE)
    own = tmp_path / "Own.xlsx"
    own.write_bytes(b"the user's own workbook")
    scenario.host(busyOpens=1, rejectWorkbook=1, windowPerWorkbook=1, userOpens=windows_path(own),
                  userOpensAt="busy", userQuitsAfter=4000)

    driver, journal = launch_to_host_end(scenario, app, **{TITLE: "press:1"})

    (box,) = driver.windows
    (text,) = [t for t in box.texts("Static") if t]
    assert "stays open" in text and "will be closed" not in text
    assert ["user", "open", windows_path(own)] in journal
    assert ["quit"] not in journal
    assert closes_before(journal, ["user", "close"]) == []
    assert scenario.left_behind() == []


def test_a_log_off_keeps_the_save_made_at_the_hosts_prompt(scenario, shelf):
    """The session ends while the application runs: the host asks whether to save and the
    user saves, then every process of the session is ended, the resident launcher and its
    watcher among them, and no window is destroyed. The save is in the state all the same,
    written by the runtime before it returned from WM_ENDSESSION."""
    app = saved_state_app(shelf, "log-off")
    scenario.host(userSave=USER_SAVE, logOffAfter=2500)

    scenario.launch(app.program, host_class=HOST_CLASS)

    journal = scenario.host_journal()
    session = [line for line in journal if line[0] == "session"]
    assert session[:2] == [["session", "query", "1"], ["session", "end"]] and session[-1] == ["session", "over"]
    killed = [line[2].lower() for line in session if line[1] == "kill"]
    assert app.program.name.lower() in killed, session
    assert ["end"] not in journal
    # The save at the prompt came before the session's end, after any look of the watch's.
    (save,) = [index for index, line in enumerate(journal) if line[:2] == ["user", "save"]]
    assert save < journal.index(["session", "end"])
    assert saved_workbook(app.program.with_suffix(".vstg")) == WORKBOOK + f"{USER_SAVE} at the prompt".encode()


def dead_workspaces(scenario):
    """The workspace folders this scenario left in the temporary folder."""
    temp = scenario.temp_folder()
    names = {entry.split("/")[0] for entry in scenario._temp_entries() - scenario.temp_before}
    return [temp / name for name in sorted(names) if (temp / name / "pelkostub.dll").exists()]


@pytest.mark.parametrize("ended", ["host", "session"])
def test_a_save_the_runtime_never_saw_reaches_the_state(scenario, shelf, ended):
    """The user saves and, before the runtime could look, the host is killed (the resident
    launcher removes the workspace) or every process of the session is ended (the next
    launch sweeps the workspace). Either way the save is carried into the state before its
    workspace goes, and the state it replaces is kept beside it, set aside."""
    app = saved_state_app(shelf, f"killed-at-save-{ended}")
    state = app.program.with_suffix(".vstg")
    for old in app.program.parent.glob("App.v*.vstg"):
        old.unlink()
    first = WORKBOOK + USER_SAVE.encode()
    scenario.host(userSave=USER_SAVE, userCloses="window", userDelay=1500)
    launch_to_host_end(scenario, app)
    assert saved_workbook(state) == first

    scenario.host(userSave=USER_SAVE, userSaves=1, userSaveEvery=300, dieAfterSave=ended)
    scenario.launch(app.program, host_class=HOST_CLASS)
    journal = scenario.host_journal()
    assert ["died"] in journal if ended == "host" else ["session", "over"] in journal
    second = first + f"{USER_SAVE} 1".encode()
    if ended == "session":
        # The add-in of a workspace younger than ten minutes may be a launch on its way:
        # made old, it is the dead run's; the workbook keeps the time of the user's save.
        (dead,) = dead_workspaces(scenario)
        os.utime(dead / "pelkostub.dll", (time.time() - 3600,) * 2)
        scenario.host(userCloses="window", userDelay=1000)
        launch_to_host_end(scenario, app)

    assert saved_workbook(state) == second
    (set_aside,) = app.program.parent.glob("App.v*.vstg")
    assert saved_workbook(set_aside) == first
    assert scenario.left_behind() == []
