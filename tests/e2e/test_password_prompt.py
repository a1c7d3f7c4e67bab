"""The start-up password prompt of a packed application: typed or given with -p, wrong,
cancelled, closed, and the contact button."""
from urllib.parse import quote

from harness import message_text
from ui_support import CONTACT, PASSWORD, TITLE, pack_app, read_handler_journal, register_protocol_handler

PROMPT = f"{message_text(71)} {TITLE}"  # the prompt's title


def protected_app(scenario, stub_x64, addin_kit):
    scenario.host(quitAfter1171=500)
    return pack_app(scenario, stub_x64, addin_kit, password=PASSWORD)


def host_started(scenario):
    return any(line[0] == "open" for line in scenario.host_journal())


def test_prompt_shows_its_controls_and_the_right_password_continues(scenario, stub, addin_kit):
    program = protected_app(scenario, stub, addin_kit)

    driver = scenario.launch(program, answers={PROMPT: f"type:{PASSWORD}"})

    prompt = driver.windows[0]
    assert (prompt.class_name, prompt.title) == ("#32770", PROMPT)
    assert prompt.rect[2] == 290
    buttons = [(ident, text) for cls, ident, text, _ in prompt.children if cls == "Button"]
    assert buttons == [(77, message_text(27)), (1, message_text(30)), (2, message_text(31))]
    assert prompt.texts("Static") == [message_text(32), message_text(33)]
    assert len(prompt.texts("Edit")) == 1
    assert len(driver.windows) == 1, "no message after the right password"
    assert host_started(scenario)
    scenario.wait_for_host_end()


def test_password_on_the_command_line_skips_the_prompt(scenario, stub_x64, addin_kit):
    program = protected_app(scenario, stub_x64, addin_kit)
    # An argument with line feeds, as whoever builds a command line may pass, shaped like
    # the fields that follow the workbook's path.
    planted = "-x\nC:\\planted.xlsm\n1\nC:\\planted.exe"

    driver = scenario.launch(program, "-p", PASSWORD, planted)

    assert driver.windows == []
    assert host_started(scenario)
    journal = scenario.wait_for_host_end()
    # The start-up information lies in the workspace while the host starts: the password
    # is not in it, and the command line's line feeds shift none of its fields.
    (info,) = [fields[1] for fields in journal if fields[0] == "startinfo"]
    text = bytes.fromhex(info).decode("utf-8")
    assert PASSWORD not in text and "planted" not in text
    workbook, launcher_id, launcher = text.split("\n")
    assert workbook.endswith(".xlsm") and int(launcher_id) > 0
    assert launcher.lower().endswith("\\" + program.name.lower())


def test_wrong_password_is_refused_with_the_wrong_password_message(scenario, stub_x64, addin_kit):
    program = protected_app(scenario, stub_x64, addin_kit)

    driver = scenario.launch(program, answers={PROMPT: "type:open sesame", message_text(8): "press:1"})

    assert [w.title for w in driver.windows] == [PROMPT, message_text(8)]
    box = driver.windows[1]
    assert box.texts("Static").count(message_text(29)) == 1
    assert box.icon == "warning"
    assert scenario.host_journal() == [], "no host after a wrong password"


def test_wrong_password_with_P_is_refused_without_a_prompt(scenario, stub_x64, addin_kit):
    program = protected_app(scenario, stub_x64, addin_kit)

    driver = scenario.launch(program, "-P", "Open", answers={message_text(8): "press:1"})

    assert [w.title for w in driver.windows] == [message_text(8)]
    assert driver.windows[0].texts("Static").count(message_text(29)) == 1
    assert scenario.host_journal() == []


def test_cancel_and_close_stop_quietly_without_a_host(scenario, stub_x64, addin_kit):
    program = protected_app(scenario, stub_x64, addin_kit)
    for action in ("press:2", "close"):
        scenario.driver_journal_path.unlink(missing_ok=True)
        driver = scenario.launch(program, answers={PROMPT: action})
        assert [w.title for w in driver.windows] == [PROMPT], action
        assert driver.exit_code == 0
        assert scenario.host_journal() == [], action


def test_contact_button_opens_a_mail_to_the_author_and_cancels(scenario, stub_x64, addin_kit, wine):
    handled = scenario.folder / "mailto.journal"
    register_protocol_handler(wine, "mailto", handled)
    program = protected_app(scenario, stub_x64, addin_kit)

    driver = scenario.launch(program, answers={PROMPT: "press:77"})

    assert [w.title for w in driver.windows] == [PROMPT], "a cancel: no message follows"
    assert scenario.host_journal() == []
    # The subject goes in percent-encoded, as a mail link's fields must be.
    subject = quote(message_text(26).replace("<?APPNAME?>", TITLE), safe="")
    assert read_handler_journal(handled) == [f"mailto:{CONTACT}?subject={subject}"]


def test_without_a_contact_the_prompt_has_no_contact_button_and_its_title_is_the_authors(scenario, stub_x64,
                                                                                        addin_kit):
    scenario.host(quitAfter1171=500)
    prompt = f"Passwort f\u00fcr {TITLE}"
    program = pack_app(scenario, stub_x64, addin_kit, password=PASSWORD, authorContact="",
                       texts={"71": "Passwort f\u00fcr"})

    driver = scenario.launch(program, answers={prompt: "press:2"})

    (window,) = driver.windows
    assert (window.class_name, window.title) == ("#32770", prompt)
    buttons = [(ident, text) for cls, ident, text, _ in window.children if cls == "Button"]
    assert buttons == [(1, message_text(30)), (2, message_text(31))]
    assert driver.exit_code == 0
    assert scenario.host_journal() == []
