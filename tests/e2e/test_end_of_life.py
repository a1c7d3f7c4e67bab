"""The end of a run, watched from outside the host: the runtime starts no process, a
watcher of the launcher's own executable removes the workspace once the host's process
has ended, every launch sweeps what a killed watcher left, and a saved-state application
runs once at a time."""
import os
import shutil
import threading
import time
from pathlib import Path

import pytest

from harness import message_text
from launch_support import Shelf, events

TITLE = "End Of Life"
HOST_CLASS = "XLMAIN"
ALREADY_RUNNING = 43  # the built-in text of a second copy refused by the guard, with <?APPNAME?>
HOUR = 3600


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub, runtime_kit):
    return Shelf(tmp_path_factory, sheetpack, stub, runtime_kit)


def workbook_path(journal):
    """The packaged workbook the runtime opened in the host."""
    (path,) = [path for path, _ in events(journal, "open") if not path.lower().endswith(".xls")]
    return path


def wait_for(condition, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return False


def test_the_runtime_starts_no_process_yet_the_workspace_goes(scenario, shelf):
    app = shelf.get("life", title=TITLE)
    scenario.host(userCloses="window", userDelay=1000)

    driver = scenario.launch(app.program, host_class=HOST_CLASS)
    journal = scenario.wait_for_host_end()

    assert driver.exit_code == 0
    assert ["children", "0"] in journal, [line for line in journal if line[0].startswith("child")]
    assert scenario.left_behind() == []


def plant_workspace(temp, name, files, age=HOUR):
    folder = temp / name
    folder.mkdir()
    for file_name, data in files.items():
        (folder / file_name).write_bytes(data)
        past = time.time() - age
        os.utime(folder / file_name, (past, past))
    return folder


def test_a_launch_sweeps_dead_workspaces_and_nothing_else(scenario, shelf, runtime_kit, stub):
    """A host killed together with its watcher leaves its workspace; the next launch
    removes it. A live run's workspace, a young one (a launch on its way) and folders that
    are not surely workspaces stay."""
    app = shelf.get("life", title=TITLE)
    temp = scenario.temp_folder()
    addin = (runtime_kit / "addin-x64.dll").read_bytes()
    dead = plant_workspace(temp, "k3m5p7q9", {"pelkostub.dll": addin, "App.xlsm": b"workbook", "startup.inf": b"x"})
    # A host that crashed leaves its owner file, an interrupted save's file and the loader.
    crashed = plant_workspace(temp, "m5p7r9t2", {"pelkostub.dll": addin, "App.xlsm": b"w", "~$App.xlsm": b"owner",
                                                 "5B3A2C10": b"half saved", "q8s1u3w5.xls": b"loader"})
    keep = {
        "young": plant_workspace(temp, "r4t6v8x2", {"pelkostub.dll": addin, "App.xlsm": b"w"}, age=0),
        "foreign file": plant_workspace(temp, "b2d4f6h8", {"pelkostub.dll": addin, "notes.txt": b"mine"}),
        "no add-in": plant_workspace(temp, "c3e5g7j9", {"App.xlsm": b"w"}),
        "other name": plant_workspace(temp, "Reports1", {"pelkostub.dll": addin, "App.xlsm": b"w"}),
    }
    try:
        # A live run: the host holds its add-in loaded while the next launch sweeps, its
        # files made to look old so that only the loaded add-in protects them.
        scenario.host(userCloses="window", userDelay=6000)
        assert scenario.launch(app.program).exit_code == 0
        assert wait_for(lambda: len(events(scenario.host_journal(), "open")) == 2)
        live = temp / workbook_path(scenario.host_journal()).rsplit("\\", 2)[1]
        for entry in live.iterdir():
            os.utime(entry, (time.time() - HOUR,) * 2)

        bare = shutil.copy(stub, scenario.folder / "Other.exe")  # no settings: it warns and ends
        assert scenario.launch(bare, answers={"#32770": "press:1"}, journal=scenario.folder / "d2.journal").exit_code == 0

        assert not dead.exists(), "the dead workspace stays"
        assert not crashed.exists(), "a crashed host's workspace stays"
        assert sorted(p.name for p in live.iterdir()) == sorted(["pelkostub.dll", "App.xlsm"]), "a live run was swept"
        for what, folder in keep.items():
            assert folder.exists() and any(folder.iterdir()), what
        scenario.wait_for_host_end()
        assert wait_for(lambda: not live.exists()), "the watcher did not remove the live run's workspace"
    finally:
        for folder in keep.values():
            shutil.rmtree(folder, ignore_errors=True)


def test_a_second_copy_of_a_saved_state_application_is_refused(scenario, shelf):
    app = shelf.get("resident", title=TITLE, options={"savedState": True})
    app.program.with_suffix(".vstg").unlink(missing_ok=True)
    scenario.host(userCloses="window", userDelay=5000)
    first = {}
    runner = threading.Thread(target=lambda: first.update(driver=scenario.launch(app.program, host_class=HOST_CLASS)))
    runner.start()
    try:
        assert wait_for(lambda: len(events(scenario.host_journal(), "open")) == 2)
        second = scenario.launch(app.program, answers={"#32770": "press:1"}, journal=scenario.folder / "d2.journal")
        (box,) = second.windows
        running = message_text(ALREADY_RUNNING).split("\\n")[0].replace("<?APPNAME?>", TITLE)
        assert any(text.startswith(running) for text in box.texts("Static")), box.texts("Static")
        assert second.exit_code == 0
    finally:
        runner.join()
    journal = scenario.host_journal()
    assert len([line for line in journal if line == ["end"]]) == 1, "a second host was started"
    assert first["driver"].exit_code == 0
    assert scenario.left_behind() == []


def proc_cpu_ticks(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def proc_status(pid, key):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(key + ":"):
            return line.split()[1] + " kB"
    return "?"


def watcher_pids():
    pids = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if b"-clnp" in (entry / "cmdline").read_bytes():
                    pids.append(int(entry.name))
            except OSError:
                pass
    return pids


def test_the_watcher_waits_without_cpu(scenario, shelf):
    app = shelf.get("life", title=TITLE)
    scenario.host(userCloses="window", userDelay=8000)
    assert scenario.launch(app.program).exit_code == 0
    assert wait_for(lambda: watcher_pids(), 10), "no watcher runs"
    (pid,) = watcher_pids()
    time.sleep(1)  # past its start
    before = proc_cpu_ticks(pid)
    time.sleep(3)
    after = proc_cpu_ticks(pid)
    print(f"watcher under Wine: resident {proc_status(pid, 'VmRSS')}, private data {proc_status(pid, 'VmData')}, "
          f"CPU ticks over 3 s of waiting: {after - before}")
    assert after == before
    scenario.wait_for_host_end()
    assert wait_for(lambda: not watcher_pids()), "the watcher outlives the host"
    assert scenario.left_behind() == []
