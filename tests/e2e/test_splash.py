"""The splash window of a packed application on the 1024 x 768 screen: size and place
for a wide, a tall, a small and a missing picture, its minimum time, a click, and when
it is not shown at all."""
import time

import pytest

from ui_support import BackgroundLaunch, make_jpeg, pack_app, screen_pixel, xdotool

SPLASH = "SheetpackSplash"
PICTURE = "SheetpackSplashPicture"


def splash_app(scenario, stub_x64, addin_kit, size=(300, 200), option=True):
    scenario.host(quitAfter1171=500)
    extra = {"options": {"splash": option}}
    if size:
        extra["splash"] = make_jpeg(scenario.folder / "splash.jpg", *size).name
    return pack_app(scenario, stub_x64, addin_kit, **extra)


def splash_windows(driver):
    return [w for w in driver.windows if w.class_name == SPLASH]


CASES = [
    # picture size, window (left, top, width, height), picture child (x, y, width, height)
    ("wide", (1200, 300), (102, 281, 820, 205), (0, 0, 818, 203)),
    ("tall", (300, 900), (312, 76, 400, 615), (97, 0, 204, 613)),
    ("small", (300, 200), (312, 283, 400, 202), (49, 0, 300, 200)),
    ("missing", None, (312, 260, 400, 247), (199, 0, 0, 245)),
]


@pytest.mark.parametrize("size,window,picture", [c[1:] for c in CASES], ids=[c[0] for c in CASES])
def test_size_and_place_against_the_screen(scenario, stub_x64, addin_kit, size, window, picture):
    program = splash_app(scenario, stub_x64, addin_kit, size)

    driver = scenario.launch(program, answers={SPLASH: "wait"})

    (splash,) = splash_windows(driver)
    assert splash.title == ""
    assert splash.rect == window
    assert [(cls, box) for cls, _, _, box in splash.children] == [(PICTURE, picture)]
    scenario.wait_for_host_end()


def test_splash_stays_five_seconds_from_its_start(scenario, stub_x64, addin_kit):
    program = splash_app(scenario, stub_x64, addin_kit)

    launch = BackgroundLaunch(scenario, program, answers={SPLASH: "wait"})
    _, seen = launch.wait_for_window(SPLASH)
    launch.result()

    # Seen some 300 ms after it appeared; it appeared just after the start time.
    assert 4.0 <= launch.ended - seen <= 9.0, launch.ended - seen
    scenario.wait_for_host_end()


def test_a_click_closes_the_splash_at_once(scenario, stub, addin_kit):
    program = splash_app(scenario, stub, addin_kit)

    launch = BackgroundLaunch(scenario, program, answers={SPLASH: "wait"})
    splash, seen = launch.wait_for_window(SPLASH)
    left, top, width, height = splash.rect
    centre = (left + width // 2, top + height // 2)
    shown = screen_pixel(*centre)
    xdotool("mousemove", *centre, "click", "1")
    time.sleep(0.6)
    after_click = screen_pixel(*centre)
    launch.result()

    assert max(shown[2] - shown[0], shown[2] - shown[1]) > 40, f"the blue picture was shown: {shown}"
    assert after_click != shown, "the splash is gone at once"
    assert time.monotonic() - seen < 5, "well before its five seconds were up"
    scenario.wait_for_host_end()


@pytest.mark.parametrize("args,option", [(["-xlstest"], True), (["-quiet1"], True), ([], False)],
                         ids=["test run", "silent start", "option off"])
def test_no_splash(scenario, stub_x64, addin_kit, args, option):
    program = splash_app(scenario, stub_x64, addin_kit, option=option)

    launch = BackgroundLaunch(scenario, program, *args)
    driver = launch.result()

    assert splash_windows(driver) == []
    assert launch.ended - launch.started < 4.5, "no splash time is waited for"
    assert any(line[0] == "open" for line in scenario.host_journal()), "the start itself went on"
