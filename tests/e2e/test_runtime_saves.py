"""The user's saves as the saved state takes them, against a host that saves as real ones
do: a Save As to another folder, AutoSave to the cloud (the workbook's FullName becomes a
web address), a save in another file format, a save after the user removed the protected
workbook's password."""
import io
import time

import msoffcrypto
import pytest

from encryption import decrypt
from harness import message_text, pack_application, windows_path, workbooks
from launch_support import Packed, Shelf, folder_files
from test_runtime import TITLE, WORKBOOK, launch_to_host_end, saved_workbook
from test_runtime_end_of_life import saved_state_app

USER_SAVE = "-- saved by the user"
CLOUD_ADDRESS = "https://d.docs.live.net/0123456789abcdef/Documents/"


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub_x64, runtime_kit):
    return Shelf(tmp_path_factory, sheetpack, stub_x64, runtime_kit)


def saves(*suffixes):
    return b"".join((USER_SAVE + suffix).encode() for suffix in suffixes)


# Save As at 400 ms, then an edit at 1200 and 2400 ms, each saved 600 ms later, the
# window closed at 4000 ms (in the cloud with nothing unsaved: AutoSave has saved it).
@pytest.mark.parametrize("where, save_at_close", [("folder", True), ("cloud", False)])
def test_the_state_follows_a_save_as_and_every_later_save(scenario, shelf, where, save_at_close):
    app = saved_state_app(shelf, f"follow-{where}")
    documents = scenario.folder / "Documents"
    documents.mkdir()
    target = windows_path(documents / "App.xlsm") if where == "folder" else CLOUD_ADDRESS + "App.xlsm"
    scenario.host(userSave=USER_SAVE, userSaveAs=target, userSaveAsAt=400, userSaves=2, userSaveEvery=1200,
                  userEditsFor=600, userCloses="window", userDelay=4000, userSavesAtClose=int(save_at_close),
                  cloudFolder=windows_path(documents))

    _, journal = launch_to_host_end(scenario, app)

    latest = (documents / "App.xlsm").read_bytes()
    assert latest == WORKBOOK + saves(" as", " 1", " 2") + (saves("") if save_at_close else b"")
    assert ["user", "save", "as", target] in journal
    copies = [line for line in journal if line[:2] == ["save", "copy"]]
    if where == "cloud":
        # One copy at the move to the cloud and one at each save after it, into the workspace.
        assert len(copies) == 3 and all(line[2].endswith("\\App.xlsm") for line in copies)
    else:
        assert copies == []
    assert saved_workbook(app.program.with_suffix(".vstg")) == latest
    assert scenario.left_behind() == []

    # The next start opens the latest work.
    scenario.host(userCloses="window", userDelay=500)
    _, journal = launch_to_host_end(scenario, app)
    assert folder_files(journal)["App.xlsm"][0] == len(latest)
    assert saved_workbook(app.program.with_suffix(".vstg")) == latest


def test_a_save_in_another_format_is_not_followed_and_the_user_told(scenario, shelf):
    app = saved_state_app(shelf, "other-format")
    documents = scenario.folder / "Documents"
    documents.mkdir()
    target = windows_path(documents / "App.xlsx")
    scenario.host(userSave=USER_SAVE, userSaves=1, userSaveEvery=300, userSaveAs=target, userSaveAsAt=1200,
                  userCloses="window", userDelay=2500, userSavesAtClose=0)

    driver, _ = launch_to_host_end(scenario, app, **{TITLE: "press:1"})

    (box,) = [window for window in driver.windows if window.title == TITLE]
    assert any(text.startswith(message_text(63)) and text.endswith(target)
               for text in box.texts("Static"))
    # The state keeps the last save in the application's format, made before the Save As.
    assert saved_workbook(app.program.with_suffix(".vstg")) == WORKBOOK + saves(" 1")
    assert (documents / "App.xlsx").read_bytes() == WORKBOOK + saves(" 1", " as")


def box_texts(driver):
    return [text for window in driver.windows if window.title == TITLE for text in window.texts("Static")]


# The user removes the password before their second save (or the one at the close): the
# runtime puts it back and has the host save again, or, when the host refuses the password
# or the workbook is closed already, keeps that save out of the state.
@pytest.mark.parametrize("case, keys, told, kept", [
    pytest.param("put-back", {"userSaves": 2, "userClearsPassword": 2}, 64, (" 1", " 2"), id="put-back"),
    pytest.param("refused", {"userSaves": 2, "userClearsPassword": 2, "fail.3920": "0x800A03EC Password not set"},
                 65, (" 1",), id="refused"),
    pytest.param("closed", {"userClearsPassword": 1, "userCloses": "workbook", "userSavesAtClose": 1}, 66, None,
                 id="closed"),
])
def test_a_save_without_the_password_never_reaches_the_state_in_the_clear(scenario, sheetpack, stub_x64,
                                                                           runtime_kit, tmp_path, case, keys, told,
                                                                           kept):
    workbook = workbooks.ooxml("xlsm", cell="protected")
    (tmp_path / "Book.xlsm").write_bytes(workbook)
    config = {"title": TITLE, "workbook": "Book.xlsm", "addinKit": str(runtime_kit), "protectWorkbook": True,
              "options": {"savedState": True}, "savedStateLocation": "beside"}
    program = pack_application(sheetpack, tmp_path, config, stub_x64)
    password = (tmp_path / "app.sheetpack-key").read_text().splitlines()[1]
    state_file = program.with_suffix(".vstg")
    state_file.unlink(missing_ok=True)
    scenario.host(**{"userSave": USER_SAVE, "userSaveEvery": 900, "userCloses": "window", "userDelay": 3500,
                     "userSavesAtClose": 0, **keys})

    driver, journal = launch_to_host_end(scenario, Packed(sheetpack, program), **{TITLE: "press:1"})

    assert ["user", "clears", "password"] in journal
    assert message_text(told) in box_texts(driver)
    if kept is None:
        assert not state_file.exists()
        return
    saved = saved_workbook(state_file)
    assert msoffcrypto.OfficeFile(io.BytesIO(saved)).is_encrypted()
    assert decrypt(saved, password) == workbook + saves(*kept)
    host_saves = [line for line in journal if line[0] == "save"]
    assert [line[-1] for line in host_saves] == (["encrypted"] if case == "put-back" else [])


def test_a_large_save_leaves_the_hosts_window_answering(scenario, shelf):
    """The user's save makes the workbook 100 MB; the state is read and written from it while
    a thread of the host's own asks its window every 20 ms for an answer."""
    app = saved_state_app(shelf, "large")
    size = 100 << 20
    scenario.host(userSave=USER_SAVE, userSaves=1, userSaveEvery=500, userSaveSize=size, probeEvery=20,
                  userCloses="window", userDelay=40000, userSavesAtClose=0)
    started = time.time()

    _, journal = launch_to_host_end(scenario, app)

    state_file = app.program.with_suffix(".vstg")
    # Written while the probe ran: well before the user closed the window.
    written = state_file.stat().st_mtime - started
    assert written < 40
    saved = saved_workbook(state_file)
    assert len(saved) == len(WORKBOOK) + len(saves(" 1")) + size and saved.startswith(WORKBOOK + saves(" 1"))
    ((_, counted, longest, longest_at, slow, left_out),) = [line for line in journal if line[0] == "probe"]
    print(f"state written {written:.1f} s after the launch; {counted} answers, the longest {longest} ms "
          f"at {longest_at} ms, {slow} over 100 ms; {left_out} left out during the host's own save")
    # Within 100 ms but for the scheduling outliers of a test machine whose two cores are
    # shared, under Wine, whose server every message between two threads passes through: a
    # run without any save shows them as well. The state's write on the host's thread held
    # the window for the whole write.
    assert int(counted) > 200 and int(slow) <= int(counted) // 100 and int(longest) < 1000
