"""The start notice of a packed application: each kind of text as the rich edit shows
it, the layout rules for short, long and RTF texts and long captions, and how it ends."""
import pytest

from harness import message_text
from ui_support import TITLE, BackgroundLaunch, pack_app, read_handler_journal, register_protocol_handler, xdotool

NOTICE = f"{TITLE} - {message_text(17)}"  # the notice's title
RICH_EDIT = "SheetpackRichEdit"
SIGN = 32


def notice_app(scenario, stub_x64, addin_kit, text, name="notice.txt", **extra):
    (scenario.folder / name).write_bytes(text)
    scenario.host(quitAfter1171=500)
    return pack_app(scenario, stub_x64, addin_kit, notice=name, **extra)


def text_box(window):
    boxes = [(text, box) for cls, ident, text, box in window.children if cls == RICH_EDIT and ident == 1274]
    assert len(boxes) == 1, window.children
    return boxes[0]


def buttons(window):
    return {ident: (text, box) for cls, ident, text, box in window.children if cls == "Button"}


def host_started(scenario):
    return any(line[0] == "open" for line in scenario.host_journal())


def shown(text):
    return text.replace("\r\n", "\n").replace("\r", "\n")


KINDS = [
    ("utf-16 with mark", "\ufeffWelcome to <?APPNAME?> <?APPVER?> \u20ac".encode("utf-16-le"),
     f"Welcome to {TITLE} 1.2.3 \u20ac"),
    ("utf-16 without mark", "Welcome to <?APPNAME?>, dear user.".encode("utf-16-le"),
     f"Welcome to {TITLE}, dear user."),
    ("utf-8", "Gr\u00fc\u00dfe von <?APPNAME?> \u20ac".encode("utf-8"), f"Gr\u00fc\u00dfe von {TITLE} \u20ac"),
    ("utf-8 with mark", "\ufeffWelcome to <?APPNAME?>".encode("utf-8"), f"Welcome to {TITLE}"),
    ("ansi", "Gr\u00fc\u00dfe von <?APPNAME?>".encode("cp1252"), f"Gr\u00fc\u00dfe von {TITLE}"),
    ("rtf keeps its macros", rb"{\rtf1\ansi Welcome to {\b <?APPNAME?>}.\par}", "Welcome to <?APPNAME?>."),
]


@pytest.mark.parametrize("kind,data,expected", KINDS, ids=[kind for kind, _, _ in KINDS])
def test_each_kind_of_text_shows_with_macros_expanded_except_in_rtf(scenario, stub_x64, addin_kit, kind, data,
                                                                    expected):
    program = notice_app(scenario, stub_x64, addin_kit, data, "notice.rtf" if kind.startswith("rtf") else "notice.txt")

    driver = scenario.launch(program, answers={NOTICE: "press:1"})

    notice = driver.windows[0]
    assert (notice.class_name, notice.title) == ("#32770", NOTICE)
    assert shown(text_box(notice)[0]).rstrip("\n") == expected
    assert host_started(scenario), "an accepted notice lets the start go on"
    scenario.wait_for_host_end()


def test_short_text_layout(scenario, stub, addin_kit):
    program = notice_app(scenario, stub, addin_kit, b"Two lines\r\nof notice.")

    notice = scenario.launch(program, answers={NOTICE: "press:1"}).windows[0]

    _, (x, y, width, height) = text_box(notice)
    assert (x, y) == (SIGN + 25, 15)
    assert y + height == SIGN + 20, "two lines are raised to the sign's height plus 20"
    by_id = buttons(notice)
    assert by_id[1][0] == message_text(18) and by_id[2][0] == message_text(19)
    accept, decline = by_id[1][1], by_id[2][1]
    assert accept[2] == decline[2] == 75
    assert accept[0] + accept[2] + 9 == decline[0], "accept stands left of decline"
    assert accept[1] == decline[1] and accept[3] == decline[3] == 26
    assert decline[0] + decline[2] + 7 == x + width + 10, "both end at the same right margin"
    scenario.wait_for_host_end()


@pytest.mark.parametrize("name,data", [
    ("notice.rtf", rb"{\rtf1\ansi{\fonttbl{\f0 Tahoma;}}\f0\fs18 A short {\b RTF} notice.\par}"),
    ("notice.txt", "\r\n".join(f"Line {n} of a long notice." for n in range(1, 16)).encode()),
], ids=["rtf", "fifteen lines"])
def test_rtf_and_long_texts_get_the_tall_box(scenario, stub_x64, addin_kit, name, data):
    program = notice_app(scenario, stub_x64, addin_kit, data, name)

    notice = scenario.launch(program, answers={NOTICE: "press:1"}).windows[0]

    _, (x, y, width, height) = text_box(notice)
    assert y + height == int(width / 2.2)
    scenario.wait_for_host_end()


def test_long_captions_widen_the_buttons_and_the_window_up_to_two_thirds_of_the_screen(scenario, stub_x64,
                                                                                          addin_kit):
    wide = "I have read the whole notice and accept every part of it"
    wider = wide + ", and " + wide.lower()
    edges = 14 + 2 * 2  # the margins and two 3-D edges of 2 pixels
    cases = [
        ("a wide accept button in a window that has room", {"12": wide, "13": "No"}, None),
        ("two wide buttons widen the window", {"12": wide, "13": wide}, "fit"),
        ("never beyond two thirds of the screen", {"12": wider, "13": wider}, int(2 / 3 * 1024)),
    ]
    for name, texts, width in cases:
        scenario.driver_journal_path.unlink(missing_ok=True)
        program = notice_app(scenario, stub_x64, addin_kit, b"Read this.", texts=texts)
        notice = scenario.launch(program, answers={NOTICE: "press:1"}).windows[0]
        by_id = buttons(notice)
        accept, decline = by_id[1][1], by_id[2][1]
        assert by_id[1][0] == texts["12"], name
        assert accept[2] > 75, name
        assert decline[2] == (75 if texts["13"] == "No" else accept[2]), name
        if width is None:
            assert abs(notice.rect[2] - 550) <= 8, name  # the template's 550 pixels, through dialog units
        elif width == "fit":
            assert notice.rect[2] == accept[2] + 9 + decline[2] + edges, name
        else:
            assert notice.rect[2] == width, name
        scenario.wait_for_host_end()


@pytest.mark.parametrize("action", ["press:2", "close"])
def test_decline_and_close_stop_quietly_without_a_host(scenario, stub_x64, addin_kit, action):
    program = notice_app(scenario, stub_x64, addin_kit, b"Read this.")

    driver = scenario.launch(program, answers={NOTICE: action})

    assert [w.title for w in driver.windows] == [NOTICE]
    assert driver.exit_code == 0
    assert scenario.host_journal() == []


def test_escape_declines(scenario, stub_x64, addin_kit):
    program = notice_app(scenario, stub_x64, addin_kit, b"Read this.")

    launch = BackgroundLaunch(scenario, program, answers={NOTICE: "wait"})
    launch.wait_for_window(NOTICE)
    # Without a window manager the X focus stays where it was: give it to the notice first.
    xdotool("search", "--name", NOTICE, "windowfocus", "--sync", "key", "Escape")
    driver = launch.result()

    assert [w.title for w in driver.windows] == [NOTICE]
    assert scenario.host_journal() == []


def test_no_notice_in_a_test_run_or_with_a_silent_start(scenario, stub_x64, addin_kit):
    program = notice_app(scenario, stub_x64, addin_kit, b"Read this.")
    for args in (["-xlstest"], ["-quiet1"]):
        scenario.driver_journal_path.unlink(missing_ok=True)
        driver = scenario.launch(program, *args)
        assert [w.title for w in driver.windows] == [], args


def client_origin(window, text_bottom, decline_box):
    """Where the notice's client area starts on the screen: the client is as wide as the
    decline button's right edge plus 7 and as high as the text box's bottom plus 46."""
    left, top, width, height = window.rect
    client_width = decline_box[0] + decline_box[2] + 7
    client_height = text_bottom + 46
    border = (width - client_width) // 2
    return left + border, top + height - client_height - border


@pytest.mark.parametrize("link,protocol,opened", [
    ("http://example.com/ledger", "http", ["http://example.com/ledger"]),
    ("http://example.com/" + "a" * 250, "http", []),  # 269 characters: longer than the link buffer
    # Without a scheme the shell would look the name up as a file first: it goes to the browser as https.
    ("www.example.com/ledger", "https", ["https://www.example.com/ledger"]),
    # Only http:, https: and mailto: links are opened.
    ("ftp://example.com/ledger", "ftp", []),
], ids=["link", "overlong link", "www link", "other scheme"])
def test_a_click_on_a_link_opens_it_unless_it_is_too_long_or_not_web_or_mail(scenario, stub_x64, addin_kit, wine,
                                                                             link, protocol, opened):
    handled = scenario.folder / f"{protocol}.journal"
    register_protocol_handler(wine, protocol, handled)
    program = notice_app(scenario, stub_x64, addin_kit, f"{link} is where updates are.".encode())

    launch = BackgroundLaunch(scenario, program, answers={NOTICE: "wait"})
    notice, _ = launch.wait_for_window(NOTICE)
    _, (x, y, width, height) = text_box(notice)
    decline = buttons(notice)[2][1]
    origin = client_origin(notice, y + height, decline)
    xdotool("mousemove", origin[0] + x + 12, origin[1] + y + 6, "click", "1")
    targets = read_handler_journal(handled, timeout=8)
    xdotool("mousemove", origin[0] + decline[0] + decline[2] // 2, origin[1] + decline[1] + decline[3] // 2,
            "click", "1")
    launch.result()

    assert targets == opened
