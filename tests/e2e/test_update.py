"""An update of a saved-state application, with the runtime kit: version 1 runs and the
user saves; version 2, packed with a new title, version, password and workbook, starts
in version 1's place, with its saved state. The author's new settings take effect; the workbook is
the one the update policy (or the user) chooses; version 1's saved work stays on disk."""
import json
import shutil

import pytest

from harness import windows_path, workbooks
from launch_support import CAPTION, Packed, Shelf, file_id, folder_files, puts, run_sheetpack
from test_runtime import HOST_CLASS, USER_SAVE, clear_per_user_states, per_user_states, saved_workbook

V1 = {"title": "Ledger", "version": "1.0.0", "password": "one"}
V2 = {"title": "Ledger 2", "version": "2.2.0", "password": "two"}
V1_WORKBOOK = workbooks.ooxml("xlsm", cell="version 1")
V2_WORKBOOK = workbooks.ooxml("xlsm", cell="version 2, with more sheets to come")
IDYES, IDNO = 6, 7


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub, runtime_kit):
    return Shelf(tmp_path_factory, sheetpack, stub, runtime_kit)


def launch_to_host_end(scenario, app, password, answers=None):
    driver = scenario.launch(app.program, "-p", password, answers=answers, host_class=HOST_CLASS)
    assert driver.exit_code == 0
    assert ["host", "gone"] in driver.lines
    return driver, scenario.wait_for_host_end()


def first_run(scenario, shelf):
    """Version 1 runs; the user saves and closes Excel. Its saved state, in the user's own
    folder, and the state's bytes."""
    clear_per_user_states(scenario)
    v1 = shelf.get("v1", files={"Book.xlsm": V1_WORKBOOK}, options={"savedState": True}, **V1)
    v1 = v1.copy_to(scenario.folder / "app")
    scenario.host(userCloses="window", userDelay=1000, userSave=USER_SAVE)
    _, journal = launch_to_host_end(scenario, v1, "one")
    assert puts(journal, CAPTION)[-1] == ("bstr", V1["title"])
    (state,) = per_user_states(scenario)
    assert saved_workbook(state) == V1_WORKBOOK + USER_SAVE.encode()
    scenario.host_journal_path.unlink()
    scenario.driver_journal_path.unlink()
    return state, state.read_bytes()


@pytest.mark.parametrize("policy, answer, keeps", [
    ("keepUserWorkbook", None, True),
    ("useNewWorkbook", None, False),
    ("ask", IDNO, False),
])
def test_update_takes_the_new_settings_and_loses_no_saved_work(scenario, shelf, sheetpack, policy, answer, keeps):
    state, saved_by_v1 = first_run(scenario, shelf)
    # Version 2, built with version 1's key, takes version 1's place.
    v2 = shelf.get(f"v2-{policy}", files={"Book.xlsm": V2_WORKBOOK, "app.sheetpack-key": v1_key(shelf)},
                   options={"savedState": True},
                   onUpdate=policy, **V2).copy_to(scenario.folder / "app")
    assert state.read_bytes() == saved_by_v1
    scenario.host(userCloses="window", userDelay=1000)

    answers = {V2["title"]: f"press:{answer}"} if answer else None
    driver, journal = launch_to_host_end(scenario, v2, "two", answers)

    # Version 2's password opened it, with no prompt; asked, the user saw version 2's question.
    assert [w.title for w in driver.windows if w.title != "Excel"] == ([V2["title"]] if answer else [])
    assert puts(journal, CAPTION)[-1] == ("bstr", V2["title"])
    chosen = V1_WORKBOOK + USER_SAVE.encode() if keeps else V2_WORKBOOK
    assert folder_files(journal)["App.xlsm"] == file_id(chosen)
    # The runtime saved version 2's settings, not version 1's.
    inspected = json.loads(run_sheetpack(sheetpack, "inspect", "--saved-state", state, "--json"))
    assert inspected["valid"]
    assert (inspected["settings"]["appTitle"], inspected["settings"]["appVersionText"]) == ("Ledger 2", "2.2.0")
    assert inspected["settings"]["startPassword"] == "two"
    assert saved_workbook(state) == chosen
    # Version 1's saved work: still in the state, or set aside beside it, byte for byte.
    set_aside = state.with_name(state.stem + ".v1.0.0.vstg")
    assert set_aside.exists() != keeps
    if not keeps:
        assert set_aside.read_bytes() == saved_by_v1
    assert scenario.left_behind() == []


def v1_key(shelf):
    """Version 1's key file, as its author keeps it."""
    return (shelf.apps["v1"].folder / "app.sheetpack-key").read_bytes()


def test_update_built_elsewhere_under_another_name_opens_the_saved_state(scenario, shelf, sheetpack):
    state, _ = first_run(scenario, shelf)
    # Another machine: a fresh folder with the configuration's files and only the key file
    # copied, the configuration naming the key it expects, as its author put it after the
    # first build; the user's browser saves the download under another name, in another folder.
    v1 = json.loads(run_sheetpack(sheetpack, "inspect", shelf.apps["v1"].program, "--json"))
    fingerprint = v1["application"]["fingerprint"]
    v2 = shelf.get("v2-elsewhere", files={"Book.xlsm": V2_WORKBOOK, "app.sheetpack-key": v1_key(shelf)},
                   options={"savedState": True}, onUpdate="keepUserWorkbook", keyFingerprint=fingerprint, **V2)
    built = json.loads(run_sheetpack(sheetpack, "inspect", v2.program, "--json"))
    assert built["application"]["fingerprint"] == fingerprint
    downloads = scenario.folder / "Downloads"
    downloads.mkdir()
    renamed = Packed(sheetpack, shutil.copy(v2.program, downloads / "Ledger (1).exe"))
    scenario.host(userCloses="window", userDelay=1000)

    _, journal = launch_to_host_end(scenario, renamed, "two")

    assert puts(journal, CAPTION)[-1] == ("bstr", V2["title"])
    assert folder_files(journal)["Ledger (1).xlsm"] == file_id(V1_WORKBOOK + USER_SAVE.encode())
    assert per_user_states(scenario) == [state]
    inspected = json.loads(run_sheetpack(sheetpack, "inspect", "--saved-state", state, "--json"))
    assert inspected["settings"]["appTitle"] == V2["title"]
    assert saved_workbook(state) == V1_WORKBOOK + USER_SAVE.encode()


def path_named_state(program):
    """The name a state had before applications had an identity: the executable's name,
    and FNV-1a over its full Windows path in upper case, as UTF-16LE."""
    digest = 2166136261
    for byte in windows_path(program).upper().encode("utf-16-le"):
        digest = ((digest ^ byte) * 16777619) & 0xFFFFFFFF
    return f"{program.stem}-{digest:08x}.vstg"


def test_state_named_after_the_path_is_found_and_moved_to_the_identity(scenario, shelf):
    state, saved_by_v1 = first_run(scenario, shelf)
    program = scenario.folder / "app" / "App.exe"
    older = state.with_name(path_named_state(program))
    state.rename(older)
    scenario.host(userCloses="window", userDelay=1000)

    _, journal = launch_to_host_end(scenario, Packed(None, program), "one")

    assert folder_files(journal)["App.xlsm"] == file_id(V1_WORKBOOK + USER_SAVE.encode())
    assert not older.exists() and per_user_states(scenario) == [state]
    assert saved_workbook(state) == V1_WORKBOOK + USER_SAVE.encode()


def test_rebuild_with_the_same_workbook_asks_nothing(scenario, shelf, sheetpack):
    state, _ = first_run(scenario, shelf)
    # A typo fixed in the title: a new build, with version 1's workbook and key, and the
    # policy that would ask.
    fixed = shelf.get("v1-title-fixed", files={"Book.xlsm": V1_WORKBOOK, "app.sheetpack-key": v1_key(shelf)},
                      options={"savedState": True}, onUpdate="ask", **{**V1, "title": "Ledger."})
    fixed = fixed.copy_to(scenario.folder / "app")
    scenario.host(userCloses="window", userDelay=1000)

    driver, journal = launch_to_host_end(scenario, fixed, "one", answers={"Ledger.": f"press:{IDNO}"})

    assert [w.title for w in driver.windows if w.title != "Excel"] == []
    assert puts(journal, CAPTION)[-1] == ("bstr", "Ledger.")
    assert folder_files(journal)["App.xlsm"] == file_id(V1_WORKBOOK + USER_SAVE.encode())
    assert not state.with_name(state.stem + ".v1.0.0.vstg").exists()
    inspected = json.loads(run_sheetpack(sheetpack, "inspect", "--saved-state", state, "--json"))
    assert inspected["settings"]["appTitle"] == "Ledger."
