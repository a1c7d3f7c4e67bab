"""Outcomes of a whole launch against the stand-in host: launches that go through, with
the host shown or left hidden, on hosts of each version and bitness; launches refused
with a warning; the error of a workbook format the host is too old for; an automation
failure in the message phase; a host window that cannot be found. Whatever the outcome,
nothing the launch wrote stays in the temporary folder."""
import contextlib
import struct
import time

import pytest

from harness import REPO, message_text
from launch_support import (ADDIN_X64_ITEM, ADDIN_X86_ITEM, CAPTION, DISPLAY_ALERTS, HWND_GET,
                            MESSAGES, PRODUCT_CODE, SETTINGS_ITEM, SETTINGS_MAGIC_OFFSET, SYSTEM_DEFAULT_LOCALE,
                            UNNAMED_MEMBER, USER_CONTROL, VISIBLE, TRACE_SENDS, WORKBOOK, WORKBOOKS_CLOSE,
                            WORKBOOKS_OPEN, Shelf,
                            check_loader_folder, events, file_id, folder_files, invoke_locales, invokes,
                            loadable_x86_item, message_numbers, messages, puts, run_cleanup_mode, traced_sends)
from ui_support import BackgroundLaunch, xdotool

TITLE = "Outcomes"
NOTICE = f"{TITLE} - {message_text(17)}"
FALSE, TRUE = ("bool", "0"), ("bool", "-1")
WM_SETICON = 0x80

RECIPES = {
    "plain": {},
    "hidden": {"options": {"keepHostHidden": True}},
    "quiet": {"options": {"splash": True}, "splash": "splash.jpg", "notice": "notice.txt"},
    "checked": {"options": {"checkHostVersion": True}},
    "texts": {"texts": {"7": "<?APPNAME?> warning"}},
    "host-missing-texts": {"texts": {"7": "<?APPNAME?> warning", "72": "<?APPNAME?>: Excel fehlt",
                                     "73": "Excel ist auf diesem Rechner nicht installiert."}},
    "single": {"options": {"singleInstance": True}, "notice": "notice.txt"},
    "single-texts": {"options": {"singleInstance": True}, "notice": "notice.txt",
                     "texts": {"7": "<?APPNAME?> warning", "41": "<?APPNAME?> is open.\\nSwitch to it."}},
}


def wrong_settings_magic(app):
    record = bytearray(app.extract(SETTINGS_ITEM))
    record[SETTINGS_MAGIC_OFFSET:SETTINGS_MAGIC_OFFSET + 4] = struct.pack("<I", 0x0EA21247)
    app.put(SETTINGS_ITEM, bytes(record), raw=True)


# Applications made from a packed one by planting an item: (base, change).
PLANTED = {
    "wrong-magic": ("plain", wrong_settings_magic),
    "wrong-magic-texts": ("texts", wrong_settings_magic),
    "tiny-add-in": ("plain", lambda app: app.put(ADDIN_X64_ITEM, b"MZ" + b"\0" * 8, raw=True)),
}


FILES = {"splash.jpg": (REPO / "examples" / "budget" / "splash.jpg").read_bytes(),
         "notice.txt": b"Welcome to <?APPNAME?>."}


@pytest.fixture(scope="module")
def apps(tmp_path_factory, sheetpack, stub_x64, addin_kit):
    """Applications by name, packed on first use and shared by the module's scenarios.
    Every one carries a 32-bit add-in item that the 64-bit stand-in host can load."""
    shelf = Shelf(tmp_path_factory, sheetpack, stub_x64, addin_kit)
    planted = {}

    def get(name):
        if name in PLANTED:
            if name not in planted:
                base, change = PLANTED[name]
                planted[name] = get(base).copy_to(tmp_path_factory.mktemp(name))
                change(planted[name])
            return planted[name]
        return shelf.get(name, files=FILES, plant={ADDIN_X86_ITEM: loadable_x86_item(addin_kit)}, **RECIPES[name])
    return get


@pytest.fixture(scope="module")
def stub_apps(tmp_path_factory, sheetpack, stub, addin_kit):
    """The applications of the recipes packed with each stub in turn, with the kit's own
    add-ins, for the scenarios that run against the host of the stub's bitness."""
    shelf = Shelf(tmp_path_factory, sheetpack, stub, addin_kit)
    return lambda name: shelf.get(name, files=FILES, **RECIPES[name])


def expected_messages(journal, silent=0):
    numbers = list(MESSAGES)
    if silent:
        numbers.insert(numbers.index(1181) + 1, 1178)
    launcher = messages(journal)[0][1]
    assert launcher != 0, "1159 carries the launcher's process id"
    values = {1159: (launcher, 0), 1181: (51, 1033 & 0xFF), 1178: (silent, 0)}
    return [(number, *values.get(number, (0, 0))) for number in numbers]


def line_of(journal, *fields):
    return journal.index(list(fields))


def msg_line(journal, number):
    return next(i for i, fields in enumerate(journal) if fields[:2] == ["msg", str(number)])


def assert_host_stayed_until_released(journal):
    """The host, asked to quit, ended only once the launcher had let go of it."""
    last_quit = len(journal) - 1 - journal[::-1].index(["quit"])
    assert last_quit < journal.index(["released"]) < journal.index(["end"])


# --- launches that go through ----------------------------------------------------------

LAUNCHES = {
    # case: (application, arguments, host shown at the end, silent-start value, icon handed over)
    "shown": ("plain", (), True, 0, True),
    "keep-host-hidden": ("hidden", (), False, 0, True),
    "test-run": ("plain", ("-xlstest",), False, 0, False),
    "silent-start": ("quiet", ("-quiet1F",), False, 31, True),
}


@pytest.mark.parametrize("case", LAUNCHES)
def test_launch_that_goes_through(scenario, stub_apps, host_bitness, addin_kit, case):
    name, args, shown, silent, icon = LAUNCHES[case]
    app = stub_apps(name)
    scenario.host(quitAfter1171=1500, after1171="cleanup")

    driver = scenario.launch(app.program, *args, debug=TRACE_SENDS)

    assert driver.windows == [], "no notice, splash or box"
    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()

    # The host is hidden before anything else is asked of it.
    assert events(journal, "invoke")[0] == [str(VISIBLE), "put", "named=-3", *FALSE]
    # A host of version 16: the add-in item of its bitness (1027 or 1025) beside the
    # workbook (its bytes after the marker), and the loader workbook, item 1018.
    check_loader_folder(journal, app, (addin_kit / f"addin-{host_bitness}.dll").read_bytes())
    assert folder_files(journal)["App.xlsm"] == file_id(WORKBOOK)
    assert ["loader", "1"] in journal
    # Workbooks.Open is called with the system default locale, every other member with 0.
    locales = invoke_locales(journal)
    assert {lcid for dispid, lcid in locales if dispid == WORKBOOKS_OPEN} == {SYSTEM_DEFAULT_LOCALE}
    assert {lcid for dispid, lcid in locales if dispid != WORKBOOKS_OPEN} == {0}

    # Caption, icon, then the messages in order; 1171 comes last.
    caption = line_of(journal, "invoke", str(CAPTION), "put", "named=-3", "bstr", message_text(23))
    assert caption < msg_line(journal, 1159)
    assert messages(journal) == expected_messages(journal, silent)
    # The big icon (ICON_BIG, a handle) goes to the host's window right before 1159; not
    # in a test run, which takes no icons.
    sends = traced_sends(scenario.folder / "wine.log")
    (window,) = {target for target, message, _, _ in sends if message == 1159}
    icons = [(target, wparam, lparam != 0) for target, message, wparam, lparam in sends if message == WM_SETICON]
    assert icons == ([(window, 1, True)] if icon else [])
    if icon:
        following = sends[[message for _, message, _, _ in sends].index(WM_SETICON) + 1]
        assert following[:2] == (window, 1159)

    # Then visibility, alerts and user control, all before 1171.
    last_sync, end = msg_line(journal, 1179), msg_line(journal, 1171)
    visible = [i for i, fields in enumerate(journal) if fields[:3] == ["invoke", str(VISIBLE), "put"]]
    assert puts(journal, VISIBLE) == [FALSE, FALSE, TRUE if shown else FALSE]
    assert last_sync < visible[-1] < end
    assert puts(journal, DISPLAY_ALERTS) == ([FALSE] if silent else [])
    assert puts(journal, USER_CONTROL) == [TRUE]
    assert invokes(journal, UNNAMED_MEMBER) == []
    assert last_sync < line_of(journal, "invoke", str(USER_CONTROL), "put", "named=-3", *TRUE) < end

    # The launcher lets go of the host and asks nothing after that; the host runs on.
    released = journal.index(["released"])
    assert not [fields for fields in journal[released:] if fields[0] == "invoke"]
    assert ["quit"] not in journal and ["wm_quit"] not in journal

    # The add-in's cleanup-mode launcher removes the workspace once the host has ended.
    assert len(events(journal, "cleanup")) == 1
    assert scenario.left_behind() == []


STALL_S = 20  # the host's stay after its end, answering nothing: far longer than a launch


def test_host_that_ends_on_1171_and_answers_nothing_more_does_not_hold_the_launcher(scenario, apps):
    app = apps("plain")
    scenario.host(quitAfter1171=0, stallAtEnd=STALL_S * 1000)

    started = time.monotonic()
    driver = scenario.launch(app.program, "-xlstest", timeout=STALL_S)
    took = time.monotonic() - started

    assert driver.windows == [] and driver.exit_code == 0
    assert took < STALL_S / 2, f"the launcher waited {took:.1f} s for a host that had ended"
    # The launcher let go of the host while it still answered, before it had 1171.
    journal = scenario.wait_for_host_end()
    assert journal.index(["released"]) < journal.index(["msg", "1171", "0", "0"]) < journal.index(["end"])


HOSTS = {
    # case: (version, product code's fourth group, the add-in written is the 64-bit one,
    #        the user's own host runs beside, its window titled like the caption, in front)
    "14-64-bit": ("14.0", "1000", True, False),
    "14-32-bit": ("14.0", "0000", False, False),
    "13": ("13.0", "1000", False, False),
    "12": ("12.0", "1000", False, False),
    "12-beside-the-users-own": ("12.0", "1000", False, True),
    "10-beside-the-users-own": ("10.0", "1000", False, True),
    "16-beside-the-users-own": ("16.0", "1000", True, True),
}


@pytest.mark.parametrize("case", HOSTS)
def test_host_version_decides_bitness_and_window_search(scenario, apps, addin_kit, case):
    version, group, x64, users_own = HOSTS[case]
    recent = float(version) >= 14  # bitness asked
    app = apps("plain")
    beside = {"userHost": "Microsoft Excel"} if users_own else {}
    scenario.host(version=version, productCode=f"{{90140000-000F-0000-{group}-0000000FF1CE}}", quitAfter1171=0,
                  after1171="cleanup", **beside)

    driver = scenario.launch(app.program, "-xlstest")

    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    written = (addin_kit / "addin-x64.dll").read_bytes() if x64 else loadable_x86_item(addin_kit)
    check_loader_folder(journal, app, written)
    # Below 14 the bitness is not asked; every one of these versions names its window by Hwnd.
    assert bool(invokes(journal, PRODUCT_CODE)) == recent
    assert invokes(journal, HWND_GET)
    assert messages(journal) == expected_messages(journal), "every message reached the host's window"
    # Not one of them reached the user's own host, which a search by class and caption finds first.
    assert events(journal, "user") == ([["host", "started"]] if users_own else [])
    assert invokes(journal, UNNAMED_MEMBER) == []
    assert scenario.left_behind() == []


# --- launches refused with a warning ----------------------------------------------------

@contextlib.contextmanager
def host_not_registered(scenario):
    """The stand-in host's registration removed for the duration, then restored."""
    log = scenario.folder / "registration.log"
    assert scenario.wine.run(scenario.testkit / "fakehost.exe", "/unregserver", timeout=60, log=log) == 0
    try:
        yield
    finally:
        assert scenario.wine.run(scenario.testkit / "fakehost.exe", "/regserver", timeout=60, log=log) == 0


def warning_box(driver, text, caption=message_text(8)):
    """The one box of the run: a warning with this text and caption and an OK button."""
    assert [(w.class_name, w.title) for w in driver.windows] == [("#32770", caption)]
    box = driver.windows[0]
    assert box.texts("Static").count(text) == 1, box.children
    assert box.icon == "warning"
    assert [ident for cls, ident, _, _ in box.children if cls == "Button"] == [1]
    return box


REFUSALS = {
    # case: (application, text of the box (a built-in id, or the author's), caption, a host is started and quit)
    "settings-magic": ("wrong-magic", 22, message_text(8), False),
    "settings-magic-with-override-texts": ("wrong-magic-texts", 22, f"{TITLE} warning", False),
    "add-in-of-10-bytes": ("tiny-add-in", 50, message_text(8), True),
    "host-not-registered": ("plain", 21, message_text(8), False),
    # Excel missing: the warning caption as the author translated it, or the box's own texts.
    "host-not-registered-warning-caption-translated": ("texts", 21, f"{TITLE} warning", False),
    "host-not-registered-own-texts": ("host-missing-texts", "Excel ist auf diesem Rechner nicht installiert.",
                                      f"{TITLE}: Excel fehlt", False),
}


@pytest.mark.parametrize("case", REFUSALS)
def test_refused_launch_warns_and_leaves_nothing(scenario, apps, case):
    name, text, caption, host_started = REFUSALS[case]
    app = apps(name)
    scenario.host(quitAfter1171=0)
    unregistered = host_not_registered(scenario) if case.startswith("host-not-registered") else contextlib.nullcontext()

    with unregistered:
        driver = scenario.launch(app.program, "-xlstest", answers={"#32770": "press:1"})

    warning_box(driver, message_text(text) if isinstance(text, int) else text, caption)
    assert driver.exit_code == 0
    if host_started:
        journal = scenario.wait_for_host_end()
        assert_host_stayed_until_released(journal)
        assert events(journal, "open") == [], "nothing is opened in the host"
    else:
        assert scenario.host_journal() == []
    assert scenario.left_behind() == []


SINGLE_INSTANCE = {
    # case: (application, caption, text of the second launcher's box)
    "built-in-texts": ("single", message_text(8), message_text(43).replace("<?APPNAME?>", TITLE).replace("\\n", "\n")),
    "override-texts": ("single-texts", f"{TITLE} warning", f"{TITLE} is open.\nSwitch to it."),
}


@pytest.mark.parametrize("case", SINGLE_INSTANCE)
def test_second_launcher_of_the_same_path_is_refused_while_the_first_holds_the_guard(scenario, apps, case):
    name, caption, text = SINGLE_INSTANCE[case]
    app = apps(name)
    # The first launcher has taken the guard with its settings and waits at its notice.
    first = BackgroundLaunch(scenario, app.program, answers={NOTICE: "wait"})
    first.wait_for_window(NOTICE)

    second = scenario.launch(app.program, answers={"#32770": "press:1"}, journal=scenario.folder / "second.journal")

    warning_box(second, text, caption)
    assert second.exit_code == 0
    # Declining the notice ends the first one quietly; no host was ever started.
    xdotool("search", "--name", NOTICE, "windowfocus", "--sync", "key", "Escape")
    assert first.result().exit_code == 0
    assert scenario.host_journal() == []
    assert scenario.left_behind() == []


def test_host_of_version_9_is_refused_when_the_settings_check_it(scenario, apps):
    scenario.host(version="9.0")

    driver = scenario.launch(apps("checked").program, "-xlstest", answers={"#32770": "press:1"})

    warning_box(driver, message_text(28))
    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    # The add-in was written before the check; the shutdown closes the workbooks, quits
    # the host and removes the workspace. The host's window was never looked up, so no
    # WM_QUIT can be posted to it: the host ends through its Quit.
    assert events(journal, "open") == [] and messages(journal) == []
    close = line_of(journal, "invoke", str(WORKBOOKS_CLOSE), "method")
    assert close < journal.index(["quit"])
    assert journal.count(["quit"]) == 1
    assert ["wm_quit"] not in journal
    assert_host_stayed_until_released(journal)
    assert scenario.left_behind() == []


def test_workbook_format_too_new_for_a_version_11_host_is_an_error_owned_by_the_host(scenario, apps):
    scenario.host(version="11.0")

    driver = scenario.launch(apps("checked").program, "-xlstest", answers={"#32770": "press:1"})

    assert [(w.class_name, w.title) for w in driver.windows] == [("#32770", "Error")]
    box = driver.windows[0]
    assert box.texts("Static").count(message_text(34)) == 1
    assert box.icon == "error"
    assert box.owner == ("XLMAIN", message_text(23))
    assert driver.exit_code == 0

    journal = scenario.wait_for_host_end()
    # Every message but the last went out before the check.
    assert message_numbers(journal) == MESSAGES[:-1]
    # Closed and quit after the box, again by the failure path of the message phase's end,
    # and once more by the shutdown, which still holds the host; then WM_QUIT to its window.
    assert journal.count(["quit"]) == 3
    assert len(invokes(journal, WORKBOOKS_CLOSE, "method")) == 3
    assert_host_stayed_until_released(journal)
    assert journal.index(["released"]) < journal.index(["wm_quit"])
    assert scenario.left_behind() == []


# --- failures in the message phase and a window that is not found -----------------------

FAILURES = {
    # case: (host scenario key, the messages the add-in gets before it)
    "default-save-format": ("fail.1209", MESSAGES[:1]),
    "user-control": ("fail.1210", MESSAGES[:-1]),
}


@pytest.mark.parametrize("case", FAILURES)
def test_automation_failure_in_the_message_phase_closes_the_host_quietly(scenario, stub_apps, case):
    key, received = FAILURES[case]
    scenario.host(**{key: "0x800A03EC The host refuses"})

    driver = scenario.launch(stub_apps("plain").program, "-xlstest")

    assert driver.windows == [], "no box for an automation failure"
    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert message_numbers(journal) == received
    close = line_of(journal, "invoke", str(WORKBOOKS_CLOSE), "method")
    assert close < journal.index(["quit"]) < journal.index(["wm_quit"])
    assert_host_stayed_until_released(journal)
    assert scenario.left_behind() == []
    assert scenario.temp_folder().is_dir()


NO_WINDOW = {
    # case: host scenario under which the launcher finds no main window
    "hwnd-zero": {"version": "16.0", "hwnd": "zero"},
    "version-12-hwnd-zero": {"version": "12.0", "hwnd": "zero"},
    "caption-not-the-title-before-hwnd": {"version": "9.0", "title": "Book1 - Microsoft Excel"},
}


@pytest.mark.parametrize("case", NO_WINDOW)
def test_launch_without_a_host_window_goes_through_every_step(scenario, apps, addin_kit, case):
    app = apps("plain")
    scenario.host(quitAfterRelease=0, **NO_WINDOW[case])

    driver = scenario.launch(app.program)

    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    assert ["loader", "1"] in journal
    # Below version 14 the bitness is not asked: the 32-bit add-in item is written.
    recent = NO_WINDOW[case]["version"] == "16.0"
    check_loader_folder(journal, app, (addin_kit / "addin-x64.dll").read_bytes() if recent
                        else loadable_x86_item(addin_kit))
    assert messages(journal) == []
    # Every step still ran: caption, visibility, user control, then the release.
    assert puts(journal, CAPTION) == [("bstr", message_text(23))]
    assert puts(journal, VISIBLE) == [FALSE, FALSE, TRUE]
    assert puts(journal, USER_CONTROL) == [TRUE]
    assert invokes(journal, UNNAMED_MEMBER) == []
    assert ["released"] in journal and ["quit"] not in journal
    # No add-in ever got 1171 to start the cleanup-mode launcher; run it as it would.
    run_cleanup_mode(scenario, app, journal)
    assert scenario.left_behind() == []
