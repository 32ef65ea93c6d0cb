"""End-to-end: redefining a control and the credits, played with keys and the mouse.

From the title, Options, then the controller screen: Button 1 is rebound to X, saved into
Settings.sav, and a run is started with X alone (by default X is Button 2, which starts
nothing). Then, in a fresh home, the credits are opened from the title and left with a click.
Each step waits for what it should bring (a screen in an F10 screenshot, a log line, a file).
"""

import re
import struct
import time

import harness
from harness import check
from test_title import button_row_shown, play_shown, wait_for_screen

SETTINGS = "Settings.sav"
SCORE_FILE = "Save_556_Brindlewick.sav"
OPTIONS_STORED = 100          # Settings.sav: options 0..99, then 64 binding rows per input
BIND_ROWS = 64
INPUT_BUTTON1 = 10
NEWEST_ROW = 63
KEY_X = 88                    # GLFW key code of X
HOLD = 0.3                    # seconds a key is held: one press, seen even by a slow update
GAP = 0.3                     # seconds between two presses, so each release is seen
CAPTURE_TIMEOUT = 30          # seconds of pressing X again until the capture takes it

# The controller screen in an 800 x 600 window: the pad's light grey body, centred at
# (400, 483), 290 x 190, seen at points clear of the d-pad, the face buttons and Start/Back.
PAD_GREY = (170, 170, 170)
PAD_BODY_POINTS = [(400, 420), (330, 470), (470, 470)]
# The credits: the web of 40 lines in pure hues (one channel full, another empty).
VIVID_CREDITS = 1000          # such pixels among every second pixel of every second row


def press(game, name, times=1):
    for _ in range(times):
        game.key(name, hold=HOLD)
        time.sleep(GAP)


def ints(path):
    with open(path, "rb") as f:
        data = f.read()
    return struct.unpack("<%di" % (len(data) // 4), data[:len(data) // 4 * 4])


def newest_button1(game):
    values = ints(game.path(SETTINGS))
    index = OPTIONS_STORED + INPUT_BUTTON1 * BIND_ROWS + NEWEST_ROW
    return values[index] if len(values) > index else None


def plays(game):
    """Runs started, as the score file holds it (its first int), or None without the file."""
    try:
        return ints(game.path(SCORE_FILE))[0]
    except (OSError, IndexError):
        return None


def pad_shown(rows):
    return all(tuple(rows[y][x][:3]) == PAD_GREY for x, y in PAD_BODY_POINTS)


def credits_shown(rows):
    vivid = 0
    for row in rows[::2]:
        for r, g, b, _ in row[::2]:
            if max(r, g, b) >= 250 and min(r, g, b) <= 5:
                vivid += 1
    return vivid > VIVID_CREDITS


def start_at_title(game):
    game.start()
    game.wait_loaded()
    wait_for_screen(game, button_row_shown, "the title's button row")


def rebind_button1_to_x_and_start_a_run(game):
    start_at_title(game)
    press(game, "Right")             # title: Start -> Options
    press(game, "Return")            # open Options
    press(game, "Down", 7)           # the "Controller" row
    press(game, "Return")            # open the controller screen (the options are saved)
    wait_for_screen(game, pad_shown, "the controller screen", keep="controller")
    check(newest_button1(game) != KEY_X, "X is Button 1 before it was rebound")

    press(game, "Down", 4)           # from "Test" down to the row of Down and Button 1
    press(game, "Right")             # Button 1
    mark = game.mark()
    press(game, "Return")            # start the capture
    # The capture's first steps only lock what is held: a press that came too early is
    # released and pressed again.
    def caught():
        press(game, "x")
        return re.search(r"^Button Caught 88$", game.log()[mark:], re.M)
    harness.wait_until(caught, CAPTURE_TIMEOUT, "X caught for Button 1")
    check(game.log_count(r"^Button Caught ", since=mark) == 1, "more than one press was caught")

    press(game, "Down", 2)           # row of Back and Start, then "Save"
    press(game, "Return")
    harness.wait_until(lambda: newest_button1(game) == KEY_X, harness.DEFAULT_TIMEOUT,
                       "X saved as the newest binding of Button 1")

    press(game, "Escape")            # leave Options: back on the title, Options selected
    wait_for_screen(game, button_row_shown, "the title after Options")
    press(game, "Left")              # Start
    press(game, "x")                 # X now confirms: the difficulty list
    press(game, "x")                 # and starts a run
    # Play shows, or the run has already ended and the return to the title saved its count.
    wait_for_screen(game, lambda rows: play_shown(rows) or plays(game) == 1, "a run started with X")
    game.key("F4")
    harness.check_clean_exit(game)
    check(plays(game) == 1, "runs started: %s, expected 1 (the run started with X)" % plays(game))
    check(newest_button1(game) == KEY_X, "the binding of X was lost at exit")


def credits_open_and_leave_with_a_click(game):
    start_at_title(game)
    press(game, "Left", 2)           # title: Start -> Quit -> Credits
    press(game, "Return")
    wait_for_screen(game, credits_shown, "the credits", keep="credits")

    width, height = game.window_size()
    game.click(width // 2, height // 2, hold=HOLD)
    wait_for_screen(game, button_row_shown, "the title after the click")

    # On the title Escape quits; on the credits it would only have closed them.
    press(game, "Escape")
    harness.check_clean_exit(game)


if __name__ == "__main__":
    harness.run(rebind_button1_to_x_and_start_a_run, credits_open_and_leave_with_a_click)
