"""A run from the title screen, played by keys like a person: Return opens the difficulty list,
Up picks "Easy", Return starts; five seconds of steering; Escape pauses, Resume plays on; the
pause screen's Quit ends the run under the "Quit" / "Game" banner (a run the hazards end first
is followed by the next); the title returns with the score saved; Escape goes back from the list
and quits from the button row. The screenshots of
the title, play, pause and banner stay in the case's folder under the build folder."""

import os
import re
import shutil
import time

import harness
from harness import check

WIDTH, HEIGHT = 800, 600         # the window the game opens, one pixel a virtual unit
SCREEN_TIMEOUT = 60              # seconds to wait for a screen to show
STEP = 0.3                       # seconds between key presses, so each lands in its own updates
PLAY_SECONDS = 5
# Escape presses in play: one to pause and resume, one to pause and quit, the others for runs
# that the hazards end first.
PAUSE_TRIES = 6
QUIT_TRIES, QUIT_WAIT = 3, 20   # Escape presses on the button row, seconds to wait for the exit
BANNER_FADE = 3                  # seconds: the end banner holds every key until it has faded
SCORE_FILE = "Save_556_Brindlewick.sav"

# The title's clear colour, dark blue, fills the gaps of its water layers on both stages.
TITLE_BLUE = (0, 0, 80)
# The Start button's green circle on the title's button row.
START_BUTTON = (400, HEIGHT - 96)
# The pause screen: one dim colour (no channel above 80) behind "Paused!" and three buttons.
PAUSE_DIM = 80
# The end banner's two words, white, left and right of the middle once they have slid in.
BANNER_WORDS = [(260, 252, 380, 300), (400, 300, 560, 348)]
WHITE = 200                      # every channel above this counts as white
WORD_PIXELS = 200                # white pixels each word shows at the least


# -- screenshots --------------------------------------------------------------------------------

def screenshot(game):
    """Takes an F10 screenshot and returns its path and pixel rows."""
    path = game.screenshot()
    width, height, rows = harness.read_png(path)
    check((width, height) == (WIDTH, HEIGHT), "screenshot of %dx%d, not %dx%d" % (width, height, WIDTH, HEIGHT))
    return path, rows


def wait_for_screen(game, shows, what, keep=None):
    """Takes screenshots until one shows the screen (`shows(rows)` is true); keeps that one as
    `keep`.png in the case's folder and returns its path."""
    deadline = time.monotonic() + SCREEN_TIMEOUT
    while True:
        path, rows = screenshot(game)
        if shows(rows):
            if keep:
                shutil.copy(path, game.path(keep + ".png"))
            return path
        check(time.monotonic() < deadline, "no screenshot showed %s within %gs" % (what, SCREEN_TIMEOUT))


def samples(rows):
    return [rows[y][x][:3] for y in range(0, HEIGHT, 10) for x in range(0, WIDTH, 10)]


def share(rows, test):
    px = samples(rows)
    return sum(1 for p in px if test(p)) / len(px)


def title_shown(rows):
    return share(rows, lambda p: p == TITLE_BLUE) > 0.1


def button_row_shown(rows):
    r, g, b = rows[START_BUTTON[1]][START_BUTTON[0]][:3]
    return title_shown(rows) and g > r + 60 and g > b + 60


def pause_shown(rows):
    px = samples(rows)
    mode = max(set(px), key=px.count)
    return px.count(mode) / len(px) > 0.8 and max(mode) <= PAUSE_DIM


def play_shown(rows):
    return share(rows, lambda p: p == TITLE_BLUE) < 0.02 and not pause_shown(rows)


def banner_shown(rows):
    def white(x0, y0, x1, y1):
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if min(rows[y][x][:3]) > WHITE)
    return not button_row_shown(rows) and all(white(*box) >= WORD_PIXELS for box in BANNER_WORDS)


# -- the case -------------------------------------------------------------------------------------

def score_file_stamp(game):
    path = game.path(SCORE_FILE)
    return os.stat(path).st_mtime_ns if os.path.exists(path) else None


def press(game, *keys):
    for k in keys:
        game.key(k, hold=harness.MENU_HOLD)
        time.sleep(STEP)


def steer(game, seconds):
    end = time.monotonic() + seconds
    turns = ["Left", "Right", "Left", "Left", "Right"]
    while time.monotonic() < end:
        game.key(turns[0], hold=0.4)
        turns = turns[1:] + turns[:1]
        time.sleep(0.2)


def paused_or_ended(game):
    """After Escape in play: True once the pause screen shows (the first one is kept as
    pause.png), False when the run has already ended by a death and the title is back."""
    seen = {}
    def shows(rows):
        if pause_shown(rows):
            seen["paused"] = True
        elif title_shown(rows):
            seen["paused"] = False
        return "paused" in seen
    path = wait_for_screen(game, shows, "the pause screen, or the title after a death")
    if seen["paused"] and not os.path.exists(game.path("pause.png")):
        shutil.copy(path, game.path("pause.png"))
    return seen["paused"]


def start_again(game):
    """Starts the next run from the title that a death brought back, on either of its stages."""
    wait_for_screen(game, title_shown, "the title after the death")
    time.sleep(BANNER_FADE)
    if button_row_shown(screenshot(game)[1]):
        press(game, "Return")   # an Escape reached the list and went back to the row
    press(game, "Return")
    wait_for_screen(game, play_shown, "play in the next run")


def run_from_the_title(game):
    game.start()
    game.wait_loaded()
    wait_for_screen(game, button_row_shown, "the title's button row", keep="title")

    # Start is selected: Return opens the difficulty list on "Normal"; Up picks "Easy".
    stamp = score_file_stamp(game)
    press(game, "Return", "Up", "Return")
    wait_for_screen(game, play_shown, "play", keep="play")
    steer(game, PLAY_SECONDS)

    # Escape pauses; Return on the selected Resume plays on; the next pause ends the run
    # through Quit. The hazards may win at any time: the run has then ended under its own
    # banner, its score is saved on the way back to the title, and the next run goes on.
    resumed = False
    for _ in range(PAUSE_TRIES):
        press(game, "Escape")
        if not paused_or_ended(game):
            print("a run ended by a death; the next one is started", flush=True)
            harness.wait_until(lambda: score_file_stamp(game) != stamp, SCREEN_TIMEOUT, "the score file to be saved")
            stamp = score_file_stamp(game)
            start_again(game)
            continue
        if not resumed:
            press(game, "Return")
            wait_for_screen(game, lambda rows: not pause_shown(rows), "the pause screen gone after Resume")
            resumed = True
            continue
        press(game, "Left", "Return")
        wait_for_screen(game, banner_shown, "the \"Quit\" / \"Game\" banner", keep="banner")
        break
    else:
        check(False, "no run lasted until it was quit through the pause screen (%d pauses tried)" % PAUSE_TRIES)

    # The return to the title records the run and saves the score file.
    harness.wait_until(lambda: score_file_stamp(game) != stamp, SCREEN_TIMEOUT, "the score file to be saved")
    wait_for_screen(game, title_shown, "the title after the run", keep="title_after")
    check(game.running(), "the game ended on returning to the title")

    # The title reopens on the difficulty list: Escape goes back to the button row (presses
    # during the fading banner are not taken, so press until the row shows), and Escape there
    # quits.
    def back_on_the_row(rows):
        check(game.running(), "Escape on the difficulty list ended the game")
        return button_row_shown(rows)
    deadline = time.monotonic() + SCREEN_TIMEOUT
    while True:
        game.key("Escape")
        time.sleep(STEP)
        if back_on_the_row(screenshot(game)[1]):
            break
        check(time.monotonic() < deadline, "Escape did not go back from the difficulty list")
    code = None
    for _ in range(QUIT_TRIES):
        game.key("Escape")
        try:
            code = game.wait_exit(QUIT_WAIT)
            break
        except harness.Failure:
            # A key held while the machine is too busy for the game to poll is not seen.
            print("Escape on the button row not taken at %s; pressed again" % time.strftime("%H:%M:%S"), flush=True)
            check(button_row_shown(screenshot(game)[1]), "the title left its button row")
    check(code == 0, "exit code %s, not 0" % code)
    check(re.search(harness.LOG_FAREWELL, game.log(), re.M), "no farewell line after Escape on the title")


if __name__ == "__main__":
    harness.run(run_from_the_title)
