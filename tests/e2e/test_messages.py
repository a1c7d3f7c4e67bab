"""The add-in's messages in a launch: their order and values with and without a
silent-start value in its forms on the command line, the settings message once, and the
launcher-path message also when the command line names the launcher without a folder."""
import pytest

from launch_support import (ADDIN_X86_ITEM, DISPLAY_ALERTS, MESSAGES, Shelf, check_loader_folder, events,
                            folder_files, loadable_x86_item, messages, puts, run_cleanup_mode)


@pytest.fixture(scope="module")
def app(tmp_path_factory, sheetpack, stub_x64, addin_kit):
    shelf = Shelf(tmp_path_factory, sheetpack, stub_x64, addin_kit)
    return shelf.get("messages", plant={ADDIN_X86_ITEM: loadable_x86_item(addin_kit)})


def start_info(journal):
    """The start-up information the add-in found: the workbook's path, the launcher's
    process id and its executable's path."""
    (info,) = events(journal, "startinfo")
    workbook, launcher_id, launcher = bytes.fromhex(info[0]).decode("utf-8").split("\n")
    return workbook, launcher_id, launcher


SILENT_STARTS = {
    # case: (arguments, silent-start value the add-in gets; 0: no 1178)
    "none": ((), 0),
    "hex-digits": (("-quiet1F",), 0x1F),
    "any-case-and-0x": (("-QUIET0x10",), 0x10),
    "zero-is-absent": (("-quiet0",), 0),
    "no-digits-is-absent": (("-quietzz",), 0),
    "negative-wraps": (("-quiet-1",), 0xFFFFFFFF),
    "the-last-one-counts": (("-quiet2", "-Quiet3"), 3),
}


@pytest.mark.parametrize("case", SILENT_STARTS)
def test_messages_in_order_with_and_without_a_silent_start_value(scenario, app, addin_kit, case):
    args, silent = SILENT_STARTS[case]
    scenario.host(quitAfter1171=0, after1171="cleanup")

    driver = scenario.launch(app.program, "-xlstest", *args)

    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    check_loader_folder(journal, app, (addin_kit / "addin-x64.dll").read_bytes())
    expected = list(MESSAGES)
    if silent:
        expected.insert(expected.index(1181) + 1, 1178)
    got = messages(journal)
    assert [number for number, _, _ in got] == expected
    # 1178 carries the value; the settings message goes once, as does every other.
    assert [(w, l) for number, w, l in got if number == 1178] == ([(silent, 0)] if silent else [])
    assert [number for number, _, _ in got].count(1155) == 1
    assert puts(journal, DISPLAY_ALERTS) == ([("bool", "0")] if silent else [])
    # The arguments reach the add-in by the messages alone, never in the file.
    workbook, _, _ = start_info(journal)
    assert workbook.endswith("\\App.xlsm")
    assert not any(arg in "\n".join(start_info(journal)) for arg in ("-xlstest", *args))
    assert scenario.left_behind() == []


def test_launcher_named_without_a_folder_still_knows_its_path(scenario, app):
    """argv[0] is a bare file name: the launcher takes its path from its module, so the
    workbook is named after it and 1160 is sent."""
    scenario.host(quitAfter1171=0)

    driver = scenario.launch(app.program, "-xlstest", bare=True)

    assert driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    workbook, _, launcher = start_info(journal)
    assert launcher.lower().endswith("\\" + app.program.name.lower()) and "\\" in launcher.rstrip("\\")
    assert workbook.endswith("\\App.xlsm") and "App.xlsm" in folder_files(journal)
    assert [number for number, _, _ in messages(journal)] == MESSAGES
    # Without an 1171 the stand-in add-in starts no cleanup-mode launcher; run it as it
    # would.
    run_cleanup_mode(scenario, app, journal)
    assert scenario.left_behind() == []
