"""Saved-state mode: a valid App.vstg of the same build beside App.exe replaces the
workbook, an invalid one is passed over; the launcher stays after the launch until the
add-in signals it, then removes its workspace and leaves the saved state alone; a signal
that comes before the launcher waits, or no launch at all, does not keep it waiting."""
import json
import os
import shutil
import signal
import struct
import time
from pathlib import Path

import pytest

from harness import message_text
from launch_support import (SETTINGS_ITEM, VISIBLE, WORKBOOK, WORKBOOK_MARKER, Shelf, check_loader_folder, events,
                            file_id, folder_files, message_numbers, puts, run_sheetpack)
from ui_support import BackgroundLaunch

SAVED_STATE_MAGIC = 0x48535651
SAVED_STATE_CHECK = 0x7C577B6E  # for the settings magic that launches
SAVED_WORKBOOK = b"the workbook as the add-in saved it " * 40
OWN_TITLE, SAVED_TITLE = "Own Title", "Saved Title"
NOTICE = message_text(17)
SHOWN = ("bool", "-1")


def saved_state(settings, workbook, name=b"state\0", lengths=None):
    """A saved-state file; `lengths` replaces the header's four section lengths."""
    name_length, settings_length, workbook_length, extra_length = lengths or (len(name), len(settings), len(workbook), 0)
    header = struct.pack("<IIII8sHHIII", SAVED_STATE_MAGIC, 40, 0, SAVED_STATE_CHECK, b"\0" * 8, name_length, 0,
                         settings_length, workbook_length, extra_length)
    return header + name + settings + workbook


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub_x64, addin_kit):
    return Shelf(tmp_path_factory, sheetpack, stub_x64, addin_kit)


# Shows its title in the notice's title, so the settings in use can be seen.
RESIDENT = {"files": {"notice.txt": b"Welcome."}, "title": OWN_TITLE, "notice": "notice.txt",
            "options": {"savedState": True}}


@pytest.fixture(scope="module")
def app(shelf):
    return shelf.get("resident", **RESIDENT)


@pytest.fixture(scope="module")
def stub_app(tmp_path_factory, sheetpack, stub, addin_kit):
    """The same application packed with each stub in turn."""
    return Shelf(tmp_path_factory, sheetpack, stub, addin_kit).get("resident", **RESIDENT)


@pytest.fixture(scope="module")
def saved_settings(shelf):
    """The settings record of a differently configured build: another title, and the
    host left hidden."""
    other = shelf.get("saved", title=SAVED_TITLE, options={"savedState": True, "keepHostHidden": True})
    return other.extract(SETTINGS_ITEM)


def state_file_beside(app):
    """App.vstg beside the application, removed after the test."""
    path = app.program.with_suffix(".vstg")
    yield path
    if path.is_dir():
        shutil.rmtree(path)
    path.unlink(missing_ok=True)


@pytest.fixture
def state_file(app):
    yield from state_file_beside(app)


@pytest.fixture
def stub_state_file(stub_app):
    yield from state_file_beside(stub_app)


def notices(driver):
    return [w.title for w in driver.windows]


def test_valid_saved_state_is_used_and_the_launcher_stays_until_signalled(scenario, stub_app, stub_state_file,
                                                                          sheetpack, addin_kit, host_bitness):
    """A state this build wrote (its own settings record) goes on: its workbook is used.
    A state of another build is an update (test_update.py)."""
    app, state_file = stub_app, stub_state_file
    state_file.write_bytes(saved_state(app.extract(SETTINGS_ITEM), WORKBOOK_MARKER + SAVED_WORKBOOK))
    inspected = json.loads(run_sheetpack(sheetpack, "inspect", "--saved-state", state_file, "--json"))
    assert inspected["valid"] and inspected["settings"]["appTitle"] == OWN_TITLE
    before = state_file.read_bytes()
    # The add-in signals two seconds after 1171 and notes whether the launcher still runs.
    scenario.host(after1171="signal", signalDelay=2000, quitAfter1171=2500)

    driver = scenario.launch(app.program, answers={NOTICE: "press:1"})

    assert notices(driver) == [f"{OWN_TITLE} - {NOTICE}"]
    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert folder_files(journal)["App.xlsm"] == file_id(SAVED_WORKBOOK)
    check_loader_folder(journal, app, (addin_kit / f"addin-{host_bitness}.dll").read_bytes())
    assert puts(journal, VISIBLE)[-1] == SHOWN
    assert 1171 in message_numbers(journal)
    assert events(journal, "launcher") == [["running"]], "the launcher waits after 1171"
    assert [fields[-1] for fields in events(journal, "signal")] == ["1"]
    # Then it removed its workspace, and left the saved state alone.
    assert scenario.left_behind() == []
    assert state_file.read_bytes() == before


def plant_invalid(path, settings, kind):
    valid = saved_state(settings, WORKBOOK_MARKER + SAVED_WORKBOOK)
    if kind == "truncated":
        path.write_bytes(valid[:-1])
    elif kind == "lengths-wrap":
        # Summed in 32 bits the lengths give the file's size; they describe 4 GB more.
        workbook = len(WORKBOOK_MARKER + SAVED_WORKBOOK)
        lengths = (6, len(settings) + 0x80000000, workbook, 0x80000000)
        path.write_bytes(saved_state(settings, WORKBOOK_MARKER + SAVED_WORKBOOK, lengths=lengths))
    elif kind == "directory":
        path.mkdir()
        (path / "App.vstg").write_bytes(valid)


@pytest.mark.parametrize("kind", ["truncated", "lengths-wrap", "directory"])
def test_invalid_saved_state_leaves_the_own_items_in_use(scenario, app, saved_settings, state_file, addin_kit, kind):
    plant_invalid(state_file, saved_settings, kind)
    scenario.host(after1171="signal", quitAfter1171=1500)

    driver = scenario.launch(app.program, answers={NOTICE: "press:1"})

    assert notices(driver) == [f"{OWN_TITLE} - {NOTICE}"]
    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert folder_files(journal)["App.xlsm"] == file_id(WORKBOOK)
    check_loader_folder(journal, app, (addin_kit / "addin-x64.dll").read_bytes())
    assert puts(journal, VISIBLE)[-1] == SHOWN
    assert [fields[-1] for fields in events(journal, "signal")] == ["1"]
    assert scenario.left_behind() == []


def test_signal_before_the_wait_still_ends_the_launcher(scenario, app):
    """The add-in signals as soon as it has 1171, while the launcher is still finishing
    its launch; whenever the signal comes, the launcher must not wait for another."""
    for run in range(4):
        scenario.driver_journal_path.unlink(missing_ok=True)
        scenario.host_journal_path.unlink(missing_ok=True)
        scenario.host(after1171="signal", quitAfter1171=300)

        driver = scenario.launch(app.program, "-xlstest", timeout=30)

        assert driver.exit_code == 0, f"run {run}"
        journal = scenario.wait_for_host_end()
        assert [fields[-1] for fields in events(journal, "signal")] == ["1"], f"run {run}"
        assert scenario.left_behind() == [], f"run {run}"


@pytest.mark.parametrize("ending", ["quits", "is killed"])
def test_without_a_signal_the_launcher_ends_with_the_host(scenario, app, ending):
    """The add-in never signals (it did not load: macros blocked by policy; or the host
    crashed or was killed): the resident launcher ends when the host's process does and
    cleans up as after a signal, instead of waiting for ever."""
    if ending == "quits":
        scenario.host(quitAfter1171=1500)  # and no signal: after1171 is "nothing"
    else:
        scenario.host()
    launch = BackgroundLaunch(scenario, app.program, "-xlstest", timeout=40)
    deadline = time.monotonic() + 30
    while 1171 not in message_numbers(scenario.host_journal()):
        assert time.monotonic() < deadline, "the launch did not reach its end"
        time.sleep(0.1)
    if ending == "is killed":
        time.sleep(1)
        assert launch.ended is None, "the launcher waits while the host runs"
        kill_host(scenario)

    driver = launch.result()

    assert driver.exit_code == 0
    journal = scenario.host_journal()
    assert events(journal, "signal") == []
    assert scenario.left_behind() == []


def kill_host(scenario):
    """Ends the stand-in host's process the hard way, as a crash would: SIGKILL to the
    Linux process that runs fakehost.exe in this test run's Wine prefix (and to any
    stand-in host an earlier failed scenario left running there)."""
    prefix = f"WINEPREFIX={scenario.wine.prefix}".encode()
    killed = 0
    for proc in Path("/proc").iterdir():
        try:
            command = (proc / "cmdline").read_bytes()
            environment = (proc / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if b"fakehost.exe" in command.lower() and prefix in environment:
            os.kill(int(proc.name), signal.SIGKILL)
            killed += 1
    assert killed, "no host process found"


def test_failed_launch_does_not_wait_for_a_signal_that_cannot_come(scenario, app):
    """The message phase fails after the resident event exists: the host is closed and
    never gets 1171, so nothing will signal; the launcher ends all the same."""
    scenario.host(**{"fail.1210": "0x800A03EC The host refuses"}, after1171="signal")

    driver = scenario.launch(app.program, "-xlstest", timeout=30)

    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert 1171 not in message_numbers(journal) and ["quit"] in journal
    assert scenario.left_behind() == []
