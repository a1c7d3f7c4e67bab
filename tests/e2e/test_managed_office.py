"""A start on a host that an organisation's policies keep from running the loader's
macro or the add-in. The launcher finds out what happened once the loader's open has
returned; where the host lives on, it closes the loader and has the host load the
runtime as an XLL (Application.RegisterXLL), which needs no macro, and the launch goes
on as any other. Where that is refused too, or the host ended, it closes what it opened
(the loader, its temporary workbook, then its host), removes its workspace and tells the
user in one box what was seen, with a non-zero exit code. An author's own add-in, which
keeps to the numbered messages, is never judged so."""
import pytest

from harness import message_text
from launch_support import (CAPTION, MESSAGES, TRACE_SENDS, USER_CONTROL, Shelf, events, message_numbers, puts,
                            traced_sends)

TITLE = "Managed"
EXIT_START_NOT_PROVEN = 3
# Above the last registered message lie only Wine's own messages between its threads.
WM_USER, FIRST_REGISTERED_MESSAGE, LAST_MESSAGE = 0x400, 0xC000, 0xFFFF
# The launcher's texts of each diagnosis, main table, and the one said after it when the
# host refused the add-in as an XLL too.
MACROS_BLOCKED, ADDIN_BLOCKED, LOADER_FILE_BLOCKED, HOST_ENDED, XLL_REFUSED = 55, 56, 57, 58, 59

# The policies that stop the loader's way in a host that lives on: case: (scenario keys,
# the host's journal line that shows the policy at work, the diagnosis when the XLL way
# is refused too)
BLOCKED_LOADER = {
    "macros-disabled": ({"macros": "disabled"}, ["macro", "not", "run", "disabled"], MACROS_BLOCKED),
    "vba-disabled": ({"macros": "noVba"}, ["macro", "not", "run", "no vba"], MACROS_BLOCKED),
    "win32-calls-blocked": ({"blockWin32Calls": "1"}, ["declare", "blocked"], ADDIN_BLOCKED),
    "file-type-blocked": ({"fileBlock": "xls"}, None, LOADER_FILE_BLOCKED),
}
# The Trust Center's settings that refuse add-ins, paired with each policy in turn.
ADDINS_REFUSED = ["signedOnly", "disabled", "signedOnly", "disabled"]
# The workbook the launcher adds so that the runtime finds a workbook window, and closes again.
TEMPORARY_WORKBOOK = "Book1"


@pytest.fixture(scope="module")
def shelf(tmp_path_factory, sheetpack, stub_x64, runtime_kit):
    return Shelf(tmp_path_factory, sheetpack, stub_x64, runtime_kit)


def diagnosis(text_id):
    return message_text(text_id).replace("<?APPNAME?>", TITLE).replace("\\n", "\n")


def shown_text(window):
    return "\n".join(text for text in window.texts("Static") if text)


def check_xll_start(scenario, driver, seen):
    """What the user sees of a start through RegisterXLL: the application under its title
    with its workbook open, handed over as after the loader's way, and nothing left."""
    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    if seen:
        assert seen in journal
    (registered,) = events(journal, "registerxll")
    assert registered[0].lower().endswith("\\pelkostub.dll")
    # The runtime found its host through a workbook window's native object model.
    assert ["getobject", "nativeom"] in journal and ["xlAutoOpen", "1"] in journal
    # After the messages, the runtime opened the packaged workbook: once, and after the
    # temporary workbook had come and gone.
    (opened,) = [i for i, line in enumerate(journal) if line[0] == "open" and line[1].endswith("\\App.xlsm")]
    added, closed = journal.index(["add", TEMPORARY_WORKBOOK]), journal.index(["close", "method", TEMPORARY_WORKBOOK])
    assert journal.index(["xlAutoOpen", "1"]) < closed and added < closed < opened
    assert puts(journal, CAPTION)[-1] == ("bstr", TITLE)
    assert puts(journal, USER_CONTROL) == [("bool", "-1")], "the host was handed to the user"
    assert scenario.left_behind() == []


@pytest.mark.parametrize("case", BLOCKED_LOADER)
def test_a_blocked_loader_starts_the_application_as_an_xll(scenario, shelf, case):
    keys, seen, _ = BLOCKED_LOADER[case]
    app = shelf.get("runtime", title=TITLE)
    scenario.host(userCloses="window", userDelay=500, **keys)

    driver = scenario.launch(app.program, "-xlstest")

    check_xll_start(scenario, driver, seen)


@pytest.mark.parametrize("launcher,host_bitness",
                         [pytest.param("x86", "x86", id="x86-stub-32-bit-host", marks=pytest.mark.x86_every_run)])
def test_the_32_bit_runtime_starts_as_an_xll_in_a_32_bit_host(scenario, tmp_path_factory, sheetpack, stubs,
                                                               runtime_kit, launcher, host_bitness):
    app = Shelf(tmp_path_factory, sheetpack, stubs(launcher), runtime_kit).get("runtime-x86", title=TITLE)
    keys, seen, _ = BLOCKED_LOADER["macros-disabled"]
    scenario.host(userCloses="window", userDelay=500, **keys)

    driver = scenario.launch(app.program, "-xlstest")

    check_xll_start(scenario, driver, seen)


# case: (scenario keys, the host's journal line that shows the policy at work, the text
# the user is shown, the add-in policy that refused the XLL way, or None where the host
# ended and nothing more was tried)
REFUSED_STARTS = {
    **{f"{case}-addins-{refusal}": ({**keys, "addIns": refusal}, seen, text_id, refusal)
       for (case, (keys, seen, text_id)), refusal in zip(BLOCKED_LOADER.items(), ADDINS_REFUSED)},
    "antivirus-ends-host": ({"amsi": "end"}, ["amsi", "ended", "the", "host"], HOST_ENDED, None),
}


@pytest.mark.parametrize("case", REFUSED_STARTS)
def test_a_start_refused_both_ways_is_told_and_leaves_nothing(scenario, shelf, case):
    keys, seen, text_id, refusal = REFUSED_STARTS[case]
    app = shelf.get("runtime", title=TITLE)
    scenario.host(quitAfterRelease=0, **keys)

    driver = scenario.launch(app.program, answers={"#32770": "press:2"})

    (box,) = driver.windows
    assert box.class_name == "#32770" and box.icon == "warning"
    assert diagnosis(text_id).split("\n")[0] in shown_text(box), shown_text(box)
    assert (diagnosis(XLL_REFUSED).split("\n")[0] in shown_text(box)) == (refusal is not None), shown_text(box)
    assert driver.exit_code == EXIT_START_NOT_PROVEN
    journal = scenario.host_journal()
    if seen:
        assert seen in journal
    # The runtime journals no messages; what shows that the launch went no further is
    # that nobody gave the host the application's title or opened the workbook.
    assert puts(journal, CAPTION) == [], "the launch stopped before the messages"
    assert not [path for path, _ in events(journal, "open") if path.endswith("\\App.xlsm")]
    if refusal:
        journal = scenario.wait_for_host_end()
        assert events(journal, "xll") == [["refused", refusal]]
        quit_at = journal.index(["quit"])
        (loader,) = [path for path, _ in events(journal, "open")]
        closed = [i for i, line in enumerate(journal) if line[:2] == ["close", "method"]]
        kept = [loader] if ["loader", "kept", "open"] in journal else []
        assert [journal[i][2] for i in closed] == kept + [TEMPORARY_WORKBOOK], "only the launcher's own are closed"
        assert closed and closed[-1] < quit_at, "the loader and the temporary workbook closed, then the host"
    else:
        assert events(journal, "registerxll") == [], "a host that ended is asked nothing more"
        assert ["end"] not in journal and ["quit"] not in journal
    assert scenario.left_behind() == []


def test_the_diagnosis_is_the_applications_own_text(scenario, shelf):
    translated = "Makros sind gesperrt: bitte wenden Sie sich an Ihre IT."
    refused = "Auch das Add-in wurde abgelehnt."
    app = shelf.get("translated", title=TITLE, texts={str(MACROS_BLOCKED): translated, str(XLL_REFUSED): refused})
    scenario.host(quitAfterRelease=0, macros="disabled", addIns="signedOnly")

    driver = scenario.launch(app.program, answers={"#32770": "press:2"})

    (box,) = driver.windows
    assert shown_text(box) == f"{translated}\n\n{refused}"
    assert driver.exit_code == EXIT_START_NOT_PROVEN
    assert scenario.left_behind() == []


def test_a_default_host_starts_the_runtime_as_before(scenario, shelf):
    app = shelf.get("runtime", title=TITLE)
    scenario.host(userCloses="window", userDelay=500)

    driver = scenario.launch(app.program, "-xlstest")

    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert ["loader", "1"] in journal
    assert events(journal, "registerxll") == [] and events(journal, "add") == [], "the loader's way is first"
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
    assert events(journal, "registerxll") == [], "only the runtime is loaded as an XLL"
    assert message_numbers(journal) == [], "no add-in listened"
    assert puts(journal, USER_CONTROL) == [("bool", "-1")], "the host was handed to the user as before"
