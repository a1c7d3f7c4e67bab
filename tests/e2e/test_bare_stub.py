"""A launcher stub without any packed item: no settings, so it must refuse to start."""
import shutil

from harness import message_text


def test_bare_stub_warns_that_its_settings_are_missing_and_starts_no_host(scenario, stub_x64):
    program = shutil.copy(stub_x64, scenario.folder / "App.exe")

    driver = scenario.launch(program, answers={"#32770": "press:1"})

    assert [(w.class_name, w.title) for w in driver.windows] == [("#32770", message_text(8))]
    box = driver.windows[0]
    assert box.texts("Static").count(message_text(22)) == 1
    assert box.icon == "warning"
    assert [(cls, ident) for cls, ident, _, _ in box.children if cls == "Button"] == [("Button", 1)]
    assert driver.exit_code == 0
    assert scenario.host_journal() == [], "no host is started without settings"
