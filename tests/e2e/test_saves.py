"""The settings and score files of the real game: a first launch makes a new user id and plays
one run, which is written to the score file on the return to the title; quitting writes both
files whole (4,496 and 90,788 bytes); a second launch in the same folder reads them back (the
same "User ID", no new id, no checksum error) and shows a best score stored with its check on
the scoreboard panel; a score changed without its check is cleared with "Checksum Error"."""

import math
import os
import re
import struct
import time

import harness
from harness import check, wait_until

SETTINGS = "Settings.sav"
SCORE_FILE = "Save_556_Brindlewick.sav"
SETTINGS_BYTES = 4496
SCORE_FILE_BYTES = 90788
USER_ID = r"> User ID '([A-Z]*)'$"

TITLE_SETTLE = 1.5        # the loading screen gives way to the title
MENU_STEP = 0.3           # between the keys that walk the title screen
RUN_TIMEOUT = 180         # seconds for a circling creature on Hard to be caught

# Score file: options 100..199 from byte 0; the score entries of the boards follow byte 404,
# each block of 37 entries (the first of 2) followed by its check.
OPT_PLAYS_BYTE, OPT_BOARD_BYTE = 0, 4
HARD = 3

# The scoreboard panel fully shown on an 800 x 600 screen: its five numbers are right-aligned
# at x 792, row k centred at y 190.5 + 67 k, in white.
PANEL_X0, PANEL_X1 = 612, 792
PANEL_ROW_Y, PANEL_ROW_STEP, PANEL_ROW_HALF = 190, 67, 16
PANEL_WHITE = 240         # the text's pixels; the backdrop under the panel stays darker
ALIKE, UNLIKE = 0.05, 0.25   # shares of differing pixels: the same number, another number
PANEL_TIMEOUT = 30        # seconds: the panel pages between "Top 5" and "Last 5"
STORED_BEST = 12345

# The running check of the score blocks (the game number is 556).
GAME_NUMBER = 556
SCORE_MODULUS = 37961356.0


def float32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def wrap32(x):
    return (x + 2 ** 31) % 2 ** 32 - 2 ** 31


def block_check(entries, first, date, time_of_day):
    """The check of the score entries `entries` (index `first` onwards): every entry that is
    not 0 is folded in, the sum rounded to a 32-bit float and reduced by the modulus."""
    # The factors; the remainders take the sign of the dividend.
    a, b, c = int(math.fmod(date, 5)) + 3, int(math.fmod(time_of_day, 4)) + 4, GAME_NUMBER % 6 + 2
    r = 0
    for i, v in enumerate(entries, first):
        if v:
            s = wrap32((v + GAME_NUMBER) * a + (i + c) * b + r)
            r = int(math.fmod(float32(s), float32(SCORE_MODULUS)))
    return r


def int_at(data, at):
    return struct.unpack_from("<i", data, at)[0]


def entry_byte(i):
    return 404 + 4 * (i + (i + 35) // 37)


def put_int(data, at, value):
    struct.pack_into("<i", data, at, value)


def check_byte(k):
    return 412 + 152 * k


def panel_rows(pixels):
    """The white pixels of each of the panel's five number rows, relative to the row."""
    rows = []
    for k in range(5):
        y0 = PANEL_ROW_Y + PANEL_ROW_STEP * k - PANEL_ROW_HALF
        rows.append({(x, y - y0) for x in range(PANEL_X0, PANEL_X1) for y in range(y0, y0 + 2 * PANEL_ROW_HALF)
                     if min(pixels[y][x][:3]) > PANEL_WHITE})
    return rows


def unlike(a, b):
    """The share of two rows' white pixels that only one of them has."""
    return len(a ^ b) / max(len(a), len(b), 1)


def panel_shown(pixels, rows_alike):
    """The panel stands with its numbers in a screenshot's pixel rows, the first row drawn like
    the second or unlike it; the second and third rows (both 0) alike."""
    rows = panel_rows(pixels)
    if not all(rows) or unlike(rows[1], rows[2]) > ALIKE:
        return False
    return unlike(rows[0], rows[1]) <= ALIKE if rows_alike else unlike(rows[0], rows[1]) >= UNLIKE


def wait_for_panel(game, rows_alike, what):
    wait_until(lambda: panel_shown(harness.read_png(game.screenshot())[2], rows_alike), PANEL_TIMEOUT, what)


def to_difficulty_list(game):
    time.sleep(TITLE_SETTLE)
    game.key("Return", hold=harness.MENU_HOLD)   # Start
    time.sleep(MENU_STEP)


def saved_files(game):
    contents = {}
    for name, size in ((SETTINGS, SETTINGS_BYTES), (SCORE_FILE, SCORE_FILE_BYTES)):
        path = game.path(name)
        check(os.path.isfile(path), name + " was not written")
        check(os.path.getsize(path) == size, "%s has %d bytes, not %d" % (name, os.path.getsize(path), size))
        with open(path, "rb") as f:
            contents[name] = f.read()
    left = game.files(r".*\.tmp-.*")
    check(not left, "unfinished temporary files left: %s" % left)
    return contents


def quit_with_f4(game):
    code = game.quit()
    check(code == 0, "exit code %s, not 0" % code)
    log = game.log()
    game.close()
    return log


def play_one_run(game):
    """Starts a run on Hard from the difficulty list and swims in circles until the creature
    is caught and the return to the title writes the score file."""
    for key in ("Down", "Return"):   # Hard, below the default Normal
        game.key(key, hold=harness.MENU_HOLD)
        time.sleep(MENU_STEP)
    check(not os.path.exists(game.path(SCORE_FILE)), "a score file before the run ended")
    game.xdotool("keydown", "Right")
    try:
        wait_until(lambda: os.path.exists(game.path(SCORE_FILE)), RUN_TIMEOUT, "the end of the run (the score file)")
    finally:
        game.xdotool("keyup", "Right")


def a_run_outlives_the_game(game):
    game.start()
    first_id = game.wait_for_log(USER_ID).group(1)
    game.wait_loaded()
    to_difficulty_list(game)
    # An empty board: every row of the panel reads the same.
    wait_for_panel(game, True, "the panel of an empty board")
    play_one_run(game)
    log = quit_with_f4(game)
    check(first_id, "the first launch logged an empty user id")
    check("> Reset User" in log, "the first launch made no new user id")
    first = saved_files(game)
    scores = first[SCORE_FILE]
    check(int_at(scores, OPT_PLAYS_BYTE) == 1, "the score file counts %d runs, not 1" % int_at(scores, OPT_PLAYS_BYTE))
    check(int_at(scores, OPT_BOARD_BYTE) == HARD, "the score file's board is not Hard")
    run_score = int_at(scores, entry_byte(20 * HARD + 5))   # the newest of the board's Last 5
    check(run_score >= 0, "the run's score is %d" % run_score)

    # A best score on Hard, stored with the check of its block as the game would write it.
    stored = bytearray(scores)
    settings = first[SETTINGS]
    date, time_of_day = int_at(settings, 24 * 4), int_at(settings, 25 * 4)
    best = 20 * HARD
    block = (best + 35) // 37                  # entries 37k - 35 .. 37k + 1
    put_int(stored, entry_byte(best), STORED_BEST)
    entries = [int_at(stored, entry_byte(i)) for i in range(37 * block - 35, 37 * block + 2)]
    put_int(stored, check_byte(block), block_check(entries, 37 * block - 35, date, time_of_day))
    with open(game.path(SCORE_FILE), "wb") as f:
        f.write(stored)

    game.start()
    second_id = game.wait_for_log(USER_ID).group(1)
    game.wait_loaded()
    to_difficulty_list(game)
    # The stored best heads the panel's "Top 5"; the rows below it still read 0.
    wait_for_panel(game, False, "the stored best score on the panel")
    log = quit_with_f4(game)
    check(second_id == first_id, "user id %r after the restart, %r before" % (second_id, first_id))
    check("> Reset User" not in log, "the second launch made a new user id")
    check("> Checksum Error" not in log, "the stored score file failed its checks")
    check(not re.search(r"^A", log, re.M), "the saved user id failed its check")
    second = saved_files(game)
    check(second[SETTINGS] == settings, "the settings changed by a launch in which nothing was played")
    check(second[SCORE_FILE] == bytes(stored), "the score file changed by a launch in which nothing was played")

    # The same best changed without its check: the boards are cleared, the id stays.
    put_int(stored, entry_byte(best), STORED_BEST + 1)
    with open(game.path(SCORE_FILE), "wb") as f:
        f.write(stored)
    game.start()
    third_id = game.wait_for_log(USER_ID).group(1)
    game.wait_loaded()
    log = quit_with_f4(game)
    check(third_id == first_id, "user id %r after a checksum error, %r before" % (third_id, first_id))
    check(log.count("> Checksum Error") == 1, "not one \"Checksum Error\"")
    check("> Clearing Scoreboard" in log, "the changed boards were not cleared")
    cleared = saved_files(game)[SCORE_FILE]
    check(int_at(cleared, entry_byte(best)) == 0, "the changed best survived")
    check(int_at(cleared, OPT_PLAYS_BYTE) == 0, "the run count survived the clearing")
    check(int_at(cleared, OPT_BOARD_BYTE) == 1, "the board is not 1 after the clearing")


if __name__ == "__main__":
    harness.run(a_run_outlives_the_game)
