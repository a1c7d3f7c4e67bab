"""The launcher opens its own loader workbook with the host's file validation skipped,
from version 14 (which validates every file it opens and sends a doubtful one to a
protected view, where no macro runs), and puts the host's mode back right after the
open. A host without the property, or one that refuses it, starts the application all
the same."""
import pytest

from launch_support import Shelf, check_loader_folder, events, loadable_x86_item, message_numbers, MESSAGES

# case: (scenario keys, the file-validation calls the host sees, as journaled)
HOSTS = {
    "16-skips-around-the-open": ({}, [["get", "0"], ["put", "1"], "open", ["put", "0"]]),
    "16-started-with-skip-keeps-it": ({"fileValidation": "1"}, [["get", "1"], ["put", "1"], "open", ["put", "1"]]),
    "12-has-no-such-property": ({"version": "12.0"}, ["open"]),
    "16-without-the-property": ({"fileValidation": "missing"}, ["open"]),
    "16-refusing-the-property": ({"fileValidation": "refuse"}, [["get", "refused"], "open"]),
}


@pytest.fixture(scope="module")
def app(tmp_path_factory, sheetpack, stub_x64, addin_kit):
    shelf = Shelf(tmp_path_factory, sheetpack, stub_x64, addin_kit)
    return shelf.get("plain", plant={1025: loadable_x86_item(addin_kit)})


@pytest.mark.parametrize("case", HOSTS)
def test_file_validation_is_skipped_for_the_loader_alone(scenario, app, addin_kit, case):
    keys, calls = HOSTS[case]
    scenario.host(**{"quitAfter1171": 0, "after1171": "cleanup", **keys})

    driver = scenario.launch(app.program, "-xlstest")

    assert driver.windows == [] and driver.exit_code == 0
    journal = scenario.wait_for_host_end()
    seen = [fields[1:] if fields[0] == "fileValidation" else "open"
            for fields in journal if fields[0] in ("fileValidation", "open")]
    assert seen == calls
    # The name is asked for only where the version has it.
    assert bool(events(journal, "names")) == (keys.get("version") != "12.0")
    written = loadable_x86_item(addin_kit) if keys.get("version") == "12.0" else (addin_kit / "addin-x64.dll").read_bytes()
    check_loader_folder(journal, app, written)
    assert message_numbers(journal) == MESSAGES, "the add-in was started and got every message"
    assert scenario.left_behind() == []
