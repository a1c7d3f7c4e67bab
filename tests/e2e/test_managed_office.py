"""A start on a host that an organisation's policies keep from running the loader's
macro or the add-in: the launcher finds out what happened once the loader's open has
returned, closes what it opened (the loader, then its host), removes its workspace and
tells the user in one box what was seen, with a non-zero exit code. An author's own
add-in, which keeps to the numbered messages, is never judged so."""
import pytest

from harness import message_text
from launch_support import MESSAGES, TRACE_SENDS, USER_CONTROL, Shelf, events, message_numbers, puts, traced_sends

TITLE = "Managed"
EXIT_START_NOT_PROVEN = 3
# Above the last registered message lie only Wine's own messages between its threads.
WM_USER, FIRST_REGISTERED_MESSAGE, LAST_MESSAGE = 0x400, 0xC000, 0xFFFF
# The launcher's texts of each diagnosis, main table.
MACROS_BLOCKED, ADDIN_BLOCKED, LOADER_FILE_BLOCKED, HOST_ENDED = 55, 56, 57, 58

# case: (scenario keys, the host's journal line that shows the policy at work, the text
# the user is shown, whether the host lives on to be quit)
POLICIES = {
    "macros-disabled": ({"macros": "disabled"}, ["macro", "not", "run", "disabled"], MACROS_BLOCKED, True),
    "vba-disabled": ({"macros": "noVba"}, ["macro", "not", "run", "no vba"], MACROS_BLOCKED, True),
    "win32-calls-blocked": ({"blockWin32Calls": "1"}, ["declare", "blocked"], ADDIN_BLOCKED, True),
    "file-type-blocked": ({"fileBlock": "xls"}, None, LOADER_FILE_BLOCKED, True),
    "antivirus-ends-host": ({"amsi": "end"}, ["amsi", "ended", "the", "host"], HOST_ENDED, False),
}


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub_x64, runtime_kit):
    return Shelf(tmp_path_factory, sheetpack, stub_x64, runtime_kit)


def diagnosis(text_id):
    return message_text(text_id).replace("<?APPNAME?>", TITLE).replace("\\n", "\n")


def shown_text(window):
    return "\n".join(text for text in window.texts("Static") if text)


@pytest.mark.parametrize("case", POLICIES)
def test_a_blocked_start_is_told_and_leaves_nothing(scenario, shelf, case):
    keys, seen, text_id, host_lives = POLICIES[case]
    app = shelf.get("runtime", title=TITLE)
    scenario.host(quitAfterRelease=0, **keys)

    driver = scenario.launch(app.program, answers={"#32770": "press:2"})

    (box,) = driver.windows
    assert box.class_name == "#32770" and box.icon == "warning"
    assert diagnosis(text_id).split("\n")[0] in shown_text(box), shown_text(box)
    assert driver.exit_code == EXIT_START_NOT_PROVEN
    journal = scenario.host_journal()
    if seen:
        assert seen in journal
    assert message_numbers(journal) == [], "no numbered message goes to an add-in that did not start"
    if host_lives:
        journal = scenario.wait_for_host_end()
        quit_at = journal.index(["quit"])
        (loader,) = [path for path, _ in events(journal, "open")]
        closed = [i for i, line in enumerate(journal) if line[:2] == ["close", "method"]]
        if ["loader", "kept", "open"] in journal:
            assert [journal[i][2] for i in closed] == [loader] and closed[0] < quit_at, "the loader closed, then the host"
        else:
            assert closed == [], "no workbook but the launcher's own is closed"
    else:
        assert ["end"] not in journal and ["quit"] not in journal
    assert scenario.left_behind() == []


def test_the_diagnosis_is_the_applications_own_text(scenario, shelf):
    translated = "Makros sind gesperrt: bitte wenden Sie sich an Ihre IT."
    app = shelf.get("translated", title=TITLE, texts={str(MACROS_BLOCKED): translated})
    scenario.host(quitAfterRelease=0, macros="disabled")

    driver = scenario.launch(app.program, answers={"#32770": "press:2"})

    (box,) = driver.windows
    assert shown_text(box) == translated
    assert driver.exit_code == EXIT_START_NOT_PROVEN
    assert scenario.left_behind() == []


def test_a_default_host_starts_the_runtime_as_before(scenario, shelf):
    app = shelf.get("runtime", title=TITLE)
    scenario.host(userCloses="window", userDelay=500)

    driver = scenario.launch(app.program, "-xlstest")

    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert ["loader", "1"] in journal
    assert [path for path, _ in events(journal, "open")][1].endswith("\\App.xlsm"), "the runtime opened the workbook"
    assert scenario.left_behind() == []


def test_a_default_launch_asks_once_then_sends_the_numbered_messages_as_before(scenario, shelf):
    # What the launcher sends to the host's window, from Wine's trace of it: the one
    # question whether the runtime started, then the add-in protocol's messages exactly as
    # before that question existed, each once and in their order (1171 is posted, not sent).
    app = shelf.get("runtime", title=TITLE)
    scenario.host(userCloses="window", userDelay=500)

    driver = scenario.launch(app.program, "-xlstest", debug=TRACE_SENDS)

    assert driver.windows == [] and driver.exit_code == 0
    scenario.wait_for_host_end()
    sends = traced_sends(scenario.folder / "wine.log")
    (window,) = {target for target, message, _, _ in sends if message == MESSAGES[0]}
    probe, *numbered = [message for target, message, _, _ in sends
                        if target == window and WM_USER <= message <= LAST_MESSAGE]
    assert probe >= FIRST_REGISTERED_MESSAGE, f"the question is a registered message, not {probe}"
    assert numbered == MESSAGES[:-1]
    assert scenario.left_behind() == []


def test_an_authors_add_in_is_not_judged(scenario, tmp_path_factory, sheetpack, stub_x64, addin_kit):
    # The stand-in add-in keeps to the numbered messages: the launch goes on as it always
    # did, even where the loader's macro could not start it.
    app = Shelf(tmp_path_factory, sheetpack, stub_x64, addin_kit).get("author", title=TITLE)
    scenario.host(quitAfterRelease=0, quitAfter1171=0, blockWin32Calls=1)

    driver = scenario.launch(app.program, "-xlstest")

    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert ["declare", "blocked"] in journal
    assert message_numbers(journal) == [], "no add-in listened"
    assert puts(journal, USER_CONTROL) == [("bool", "-1")], "the host was handed to the user as before"
