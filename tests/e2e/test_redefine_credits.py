"""End-to-end: redefining a control and the credits, played with keys and the mouse.

From the title, Options, then the controller screen: Button 1 is rebound to X, saved into
Settings.sav, and a run is started with X alone. Then, in a fresh home, the credits are
opened from the title and left with a click.
"""

import struct
import time

import harness
from harness import check

SETTINGS = "Settings.sav"
SCORE_FILE = "Save_556_Brindlewick.sav"
OPTIONS_STORED = 100          # Settings.sav: options 0..99, then the bindings
BIND_ROWS = 64
INPUT_BUTTON1 = 10
NEWEST_ROW = 63
KEY_X = 88                    # GLFW key code of X
PAUSE = 0.25                  # seconds between two presses, so each is seen released
RUN_SECONDS = 2               # time given to a started run before the game is closed


def ints(path):
    with open(path, "rb") as f:
        data = f.read()
    return struct.unpack("<%di" % (len(data) // 4), data[:len(data) // 4 * 4])


def newest_button1(game):
    values = ints(game.path(SETTINGS))
    index = OPTIONS_STORED + INPUT_BUTTON1 * BIND_ROWS + NEWEST_ROW
    return values[index] if len(values) > index else None


def press(game, name, times=1):
    for _ in range(times):
        game.key(name)
        time.sleep(PAUSE)


def rebind_button1_to_x_and_start_a_run(game):
    game.start()
    game.wait_loaded()
    time.sleep(PAUSE)

    press(game, "Right")             # title: Start -> Options
    press(game, "Return")            # open Options
    press(game, "Down", 7)           # the "Controller" row
    press(game, "Return")            # open the controller screen (the options are saved)
    game.wait_for_file(SETTINGS)
    check(newest_button1(game) != KEY_X, "X is Button 1 before it was rebound")

    press(game, "Down", 4)           # from "Test" down to the row of Down and Button 1
    press(game, "Right")             # Button 1
    mark = game.mark()
    press(game, "Return")            # start the capture, then let the first steps pass
    time.sleep(PAUSE)
    press(game, "x")
    game.wait_for_log(r"^Button Caught 88$", since=mark)

    press(game, "Down", 2)           # row of Back and Start, then "Save"
    press(game, "Return")
    harness.wait_until(lambda: newest_button1(game) == KEY_X, harness.DEFAULT_TIMEOUT,
                       "X saved as the newest binding of Button 1")

    press(game, "Escape")            # leave Options: back on the title, Options selected
    press(game, "Left")              # Start
    press(game, "x")                 # X now confirms: the difficulty list
    press(game, "x")                 # and starts a run
    time.sleep(RUN_SECONDS)
    check(game.running(), "the game ended during the run")
    game.key("F4")
    game.wait_for_log(harness.LOG_FAREWELL)
    check(game.wait_exit() == 0, "the game did not exit cleanly")
    plays = ints(game.path(SCORE_FILE))[0]
    check(plays == 1, "runs started: %d, expected 1 (the run started with X)" % plays)
    check(newest_button1(game) == KEY_X, "the binding of X was lost at exit")


def vivid_pixels(path):
    """Pixels of a pure hue: one channel full, another empty (the credits' line web)."""
    width, height, rows = harness.read_png(path)
    count = 0
    for row in rows[::2]:
        for r, g, b, _ in row[::2]:
            if max(r, g, b) >= 250 and min(r, g, b) <= 5:
                count += 1
    return count


def screenshot(game):
    before = set(game.files(r"Screenshot_556_.*\.png"))
    time.sleep(1.1)                  # screenshots are named by the second
    game.key("F10")
    name = harness.wait_until(lambda: sorted(set(game.files(r"Screenshot_556_.*\.png")) - before),
                              harness.DEFAULT_TIMEOUT, "a screenshot")[0]
    return game.wait_for_file(name)


def credits_open_and_leave_with_a_click(game):
    game.start()
    game.wait_loaded()
    time.sleep(PAUSE)
    title = vivid_pixels(screenshot(game))

    press(game, "Left", 2)           # title: Start -> Quit -> Credits
    press(game, "Return")
    shown = vivid_pixels(screenshot(game))
    check(shown > title + 200, "no line web of the credits: %d vivid pixels, %d on the title" % (shown, title))

    width, height = game.window_size()
    game.click(width // 2, height // 2)
    time.sleep(PAUSE)
    back = vivid_pixels(screenshot(game))
    check(back < shown / 2, "the credits still show after the click (%d vivid pixels)" % back)

    # On the title Escape quits; on the credits it would only have closed them.
    press(game, "Escape")
    game.wait_for_log(harness.LOG_FAREWELL)
    check(game.wait_exit() == 0, "the game did not exit cleanly")


if __name__ == "__main__":
    harness.run(rebind_button1_to_x_and_start_a_run, credits_open_and_leave_with_a_click)
