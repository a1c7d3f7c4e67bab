"""The example application as the README's first command packs it: no add-in kit, so
sheetpack packs the runtime it ships and writes the loader; its whole life runs."""
from example_life import check_whole_life, pack_example
from launch_support import Packed


def test_example_packed_without_a_kit_runs_its_whole_life(scenario, sheetpack, runtime_kit):
    program, notes = pack_example([sheetpack], scenario.folder)
    assert f"add-in kit: the runtime in {runtime_kit}" in notes

    check_whole_life(scenario, Packed(sheetpack, program), (runtime_kit / "addin-x64.dll").read_bytes())
