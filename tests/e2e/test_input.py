"""Held keys reach the real game under Xvfb: F10 saves a PNG screenshot named after the game
and the local time in the home folder, F1 shows and hides the statistics line (read from
screenshots), F11 switches to fullscreen, Q with a digit reshapes the window, F4 quits."""

import calendar
import os
import re
import time

import harness
from harness import check

SCREENSHOT = r"Screenshot_556_(\d{4})-(\d\d)-(\d\d)_(\d\d)-(\d\d)-(\d\d)\.png"
WINDOW_SIZE = (800, 600)
SCREEN_SIZE = (1280, 1024)             # the Xvfb screen, the fullscreen mode
SETTLE_SECONDS = 1                     # for the last poll that saw F11 held to pass
# A time zone far from UTC (POSIX: "IST-5:30" is UTC+5:30): the name must carry local time.
ZONE, ZONE_OFFSET = "IST-5:30", 5.5 * 3600
STAMP_SLACK = 120                      # seconds between the key press and the name's time
# The statistics line: 8 units right of the left edge, its glyphs within the bottom rows.
STATS_REGION = (0, 300, 28)            # x from, x to, rows above the bottom
BRIGHT = 200                           # a pixel of white text has every channel above this
STATS_MIN_PIXELS = 40                  # bright pixels the line adds at the least
# Q+3: a 3:4 window as high as the screen less 128 rows.
PRESET_KEY, PRESET_FACTOR, PRESET_MARGIN = "3", 0.75, 128


def bright_stats_pixels(path):
    width, height, rows = harness.read_png(path)
    x0, x1, band = STATS_REGION
    return sum(1 for row in rows[height - band:] for (r, g, b, _) in row[x0:x1]
               if min(r, g, b) > BRIGHT)


def f10_saves_a_screenshot(game):
    game.start({"TZ": ZONE})
    game.wait_loaded()
    before = time.time()
    since = game.mark()
    path = game.screenshot()
    after = time.time()

    width, height, _ = re.findall(harness.LOG_SAVED, game.log()[since:], re.M)[-1]
    check((int(width), int(height)) == WINDOW_SIZE, "screenshot logged as %sx%s" % (width, height))
    check(os.path.dirname(path) == game.home, "screenshot saved outside the home folder: " + path)
    m = re.fullmatch(SCREENSHOT, os.path.basename(path))
    check(m is not None, "screenshot name %r" % os.path.basename(path))
    stamp = calendar.timegm(tuple(int(g) for g in m.groups()) + (0, 0, 0)) - ZONE_OFFSET
    check(before - STAMP_SLACK <= stamp <= after + STAMP_SLACK,
          "the name's time is not the local time of the press: " + path)
    check(game.files(SCREENSHOT), "no screenshot file in the home folder")
    png_width, png_height, _ = harness.read_png(path)
    check((png_width, png_height) == WINDOW_SIZE, "PNG of %dx%d" % (png_width, png_height))

    game.quit()
    harness.check_clean_exit(game)


def f1_toggles_the_statistics_line(game):
    game.start()
    game.wait_loaded()
    check(game.log_count(harness.LOG_FIRST_ASSET) > 0, "no font loaded: the statistics line cannot show")
    hidden = bright_stats_pixels(game.screenshot())
    game.key("F1", hold=harness.MENU_HOLD)
    shown = bright_stats_pixels(game.screenshot())
    game.key("F1", hold=harness.MENU_HOLD)
    hidden_again = bright_stats_pixels(game.screenshot())
    check(shown >= hidden + STATS_MIN_PIXELS and shown >= hidden_again + STATS_MIN_PIXELS,
          "statistics line not toggled by F1: bright pixels %d, then %d, then %d" % (hidden, shown, hidden_again))
    game.quit()
    harness.check_clean_exit(game)


def window_then_quit(game, expected, after):
    """Waits for the window to take the expected size, checks that a screenshot has it too,
    and quits cleanly."""
    harness.wait_until(lambda: game.window_size() == expected, harness.DEFAULT_TIMEOUT,
                       "a %dx%d window after %s" % (expected + (after,)))
    width, height, _ = harness.read_png(game.screenshot())
    check((width, height) == expected, "screenshot of %dx%d in a %dx%d window" % ((width, height) + expected))
    game.quit()
    harness.check_clean_exit(game)


def f11_switches_to_fullscreen(game):
    game.start()
    game.wait_loaded()
    since = game.mark()
    # Any number of toggles is read back below, so a lost press is simply pressed again.
    game.press_until(("F11",), lambda: game.log_count(r"> Opened Fullscreen$", since), "the fullscreen window")
    # Every poll while F11 is held toggles again: the mode left is that of the last window.
    time.sleep(SETTLE_SECONDS)
    last = re.findall(r"> Opened (Window|Fullscreen)$", game.log()[since:], re.M)[-1]
    expected = SCREEN_SIZE if last == "Fullscreen" else WINDOW_SIZE
    window_then_quit(game, expected, "F11 (last opened: %s)" % last)


def q_and_digit_reshape_the_window(game):
    game.start()
    game.wait_loaded()
    since = game.mark()
    game.press_until(("q", PRESET_KEY), lambda: game.log_count(harness.LOG_WINDOW, since), "the reshaped window")
    height = SCREEN_SIZE[1] - PRESET_MARGIN
    expected = (int(height * PRESET_FACTOR), height)
    window_then_quit(game, expected, "Q+" + PRESET_KEY)


if __name__ == "__main__":
    harness.run(f10_saves_a_screenshot, f1_toggles_the_statistics_line, f11_switches_to_fullscreen,
                q_and_digit_reshape_the_window)
