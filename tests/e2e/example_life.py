"""The example application (examples/budget) packed as its author would, with
`sheetpack build examples/budget/budget.json -o Budget.exe` and no add-in kit, and its
whole life against the stand-in host: the notice accepted, the splash shown, the runtime
shipped with sheetpack started by the written loader, the workbook opened under the
application's title, the user closing the host, the workspace removed by the
cleanup-mode launcher the runtime starts."""
import json
import subprocess

from harness import REPO
from launch_support import CAPTION, check_loader_folder, events, puts
from test_runtime import launch_to_host_end, workbook_opens

EXAMPLE_CONFIG = REPO / "examples" / "budget" / "budget.json"
EXAMPLE = json.loads(EXAMPLE_CONFIG.read_text(encoding="utf-8"))
# The notice's accept button, and the splash left alone until it closes by itself.
ANSWERS = {EXAMPLE["texts"]["11"]: "press:1", "SheetpackSplash": "wait"}
PACK_TIME = "1700000000"  # SOURCE_DATE_EPOCH of every packing here: the same inputs give the same bytes


def pack_example(command, folder, env=None, path=str, config=EXAMPLE_CONFIG):
    """Runs `command` (a sheetpack, with any runner before it) as `build budget.json -o
    Budget.exe -v` into `folder`, with file names as `path` gives them; returns the
    program and what sheetpack printed. `config` is the example's configuration where
    it lies (a release archive holds a copy). The output goes to a file: a process that Wine
    starts on the way would hold a pipe open after sheetpack ended."""
    program = folder / "Budget.exe"
    log = folder / "sheetpack.log"
    with open(log, "wb") as output:
        code = subprocess.run([*map(str, command), "build", path(config), "-o", path(program), "-v"],
                              stdin=subprocess.DEVNULL, stdout=output, stderr=output, timeout=300, env=env).returncode
    notes = log.read_text(errors="replace")
    assert code == 0, notes
    return program, notes


def check_whole_life(scenario, app, addin_x64):
    """Launches the packed example `app` (a launch_support.Packed) and follows its life to
    the end; `addin_x64` is the runtime the host must have been handed."""
    scenario.host(userCloses="window", userDelay=1500)

    driver, journal = launch_to_host_end(scenario, app, **ANSWERS)

    notice = EXAMPLE["texts"]["11"]
    assert [window.action for window in driver.windows if window.title.endswith(notice)] == ["press:1"]
    assert events(journal, "vba") == [["ThisWorkbook", "declare=1", "call=1", "load=wide"]]
    check_loader_folder(journal, app, addin_x64)
    assert ["loader", "1"] in journal
    ((path, _),) = workbook_opens(journal)
    assert path.endswith("\\Budget.xlsm")
    assert puts(journal, CAPTION)[-1] == ("bstr", EXAMPLE["title"])
    assert scenario.left_behind() == []
