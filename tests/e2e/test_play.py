"""The asset loader and a run of play in the real game under Xvfb: every asset is loaded in its
order; missing and broken files are skipped and the game keeps running; a run started from the
title screen with the keys shows the play screen with its score display, and a creature that
swims in tight circles on Hard is caught, the end-of-run banner shows and the title returns."""

import os
import re
import shutil
import time

import harness
from harness import check, wait_until

# The loader's log lines in the order of its steps.
LOAD_ORDER = [
    r"Load Font  : entplain\.png ", r"Load Image : VornLogo ", r"Load SFX   : 95",
    r"Load Image : icons ", r"Load Image : particles ", r"Load SFX   : 1",
    r"Load Image : options ", r"Load SFX   : 99", r"Load SFX   : 98",
    r"Load Image : menu ", r"Load Image : logo ", r"Load Image : gfx ",
    r"Load Image : ripple ", r"Load SFX   : 2", r"Load SFX   : 3",
    r"Load SFX   : 4", r"Load SFX   : 5", r"Load Image : rippleb ",
]

SURVIVE_SECONDS = 3
TITLE_SETTLE = 1.5
MENU_STEP = 0.3           # between the keys that walk the title screen
SCORE_FILE = "Save_556_Brindlewick.sav"   # written when a run ends and the title returns
RUN_TIMEOUT = 180         # seconds for a circling creature on Hard to be caught
# The newest screenshots of a run kept for the banner, which shows for about two seconds just
# before the run ends: they are read once it has ended, so that decoding does not slow the shots.
KEPT_SHOTS = 12

# Regions of the 800 x 600 screen (x0, y0, x1, y1).
SCORE_STRIP = (330, 8, 470, 32)     # the score display, centred at the top
MIDDLE = (220, 60, 580, 200)        # the title's logo; open water in play
SAMPLES = [(60, 450), (740, 450), (60, 120), (740, 120), (400, 560)]   # away from text and logo


def check_clean_exit(game):
    code = game.quit()
    check(code == 0, "exit code %s, not 0" % code)
    check(re.search(r"^Farewell happy gamer$", game.log(), re.M), "no farewell line")


def check_load_order(log):
    pos = 0
    for pattern in LOAD_ORDER:
        m = re.compile(r"> " + pattern + r"$", re.M).search(log, pos)
        check(m is not None, "no loader line %r after the previous one" % pattern)
        pos = m.end()


# -- screenshots --------------------------------------------------------------------------------

class Shot:
    def __init__(self, path):
        # A screen of few colours is saved as a palette picture, which the harness does not
        # read; such a screen is neither play nor the banner, which both show many colours.
        try:
            self.width, self.height, self.rows = harness.read_png(path)
        except harness.Failure:
            self.width, self.height, self.rows = 0, 0, None

    def pixels(self, box):
        x0, y0, x1, y1 = box
        return [self.rows[y][x] for y in range(y0, min(y1, self.height)) for x in range(x0, min(x1, self.width))]

    def score_pixels(self):
        """Pixels of the score display's green digits."""
        return sum(1 for r, g, b, _ in self.pixels(SCORE_STRIP) if g > 170 and g - r > 40 and g - b > 40)

    def middle_brightness(self):
        px = self.pixels(MIDDLE)
        return sum(r + g + b for r, g, b, _ in px) / (3.0 * len(px))

    def in_play(self):
        return self.rows is not None and self.score_pixels() > 40 and self.middle_brightness() < 60

    def banner(self):
        """The end-of-run banner's squares tint the whole screen brown over the blue water."""
        if self.rows is None:
            return False
        tinted = 0
        for x, y in SAMPLES:
            r, g, b, _ = self.rows[y][x]
            tinted += r > b + 15
        return tinted == len(SAMPLES)


def shoot(game):
    """Takes an F10 screenshot and returns it decoded; the file is removed once read, so that
    the many shots of a run do not pile up."""
    path = game.screenshot()
    shot = Shot(path)
    os.remove(path)
    return shot


def shoot_until(game, condition, timeout, what):
    return wait_until(lambda: condition(shoot(game)), timeout, what)


# -- cases --------------------------------------------------------------------------------------

def loaded_and_alive(game):
    """Starts the game, waits for its last asset and a few seconds more; returns the log,
    whose loader lines must come in the loader's order."""
    game.start()
    game.wait_loaded()
    time.sleep(SURVIVE_SECONDS)
    check(game.running(), "the game ended after loading")
    log = game.log()
    check_load_order(log)
    return log


def loads_every_asset_in_order(game):
    log = loaded_and_alive(game)
    check("OMGERRORZ" not in log and "Error Opening Wave" not in log, "an asset failed to load")
    check_clean_exit(game)


def missing_and_broken_assets_are_skipped(game):
    # A copy of the data folder with a picture and a sound missing and one of each broken.
    link = os.path.join(game.home, "Data", str(harness.GAME_NUMBER))
    source = os.path.realpath(link)
    os.remove(link)
    shutil.copytree(source, link)
    os.remove(os.path.join(link, "particles.png"))
    os.remove(os.path.join(link, "audio", "02.wav"))
    with open(os.path.join(link, "gfx.png"), "wb") as f:
        f.write(b"not a picture")
    with open(os.path.join(link, "audio", "99.wav"), "wb") as f:
        f.write(b"RIFF")
    log = loaded_and_alive(game)
    check(log.count("> OMGERRORZ") == 2, "the two bad pictures were not both reported")
    check("> Error Opening Wave" in log, "the missing sound was not reported")
    shoot(game)   # the game still draws and answers keys
    check_clean_exit(game)


def a_run_started_by_keys_ends_when_the_creature_is_caught(game):
    game.start()
    game.wait_loaded()
    time.sleep(TITLE_SETTLE)   # the loading screen's last frame and colours give way to the title
    title = shoot(game)
    check(not title.in_play() and not title.banner(), "the title screen looks like play")

    # Title: Return confirms Start; the difficulty list: Down to Hard, Return starts the run.
    for key in ("Return", "Down", "Return"):
        game.key(key, hold=harness.MENU_HOLD)
        time.sleep(MENU_STEP)
    shoot_until(game, lambda s: s.in_play(), 30, "the play screen with its score display")

    # Swimming in tight circles, the creature is soon caught by the homing hazards; the banner
    # shows for about two seconds, then the title returns and the score file is written.
    check(not os.path.exists(game.path(SCORE_FILE)), "a score file before any run ended")
    kept = []

    def run_over():
        path = game.path("run_shot_%d.png" % (len(kept) % KEPT_SHOTS))
        os.replace(game.screenshot(), path)
        kept.append(path)
        return os.path.exists(game.path(SCORE_FILE))

    game.xdotool("keydown", "Right")
    try:
        wait_until(run_over, RUN_TIMEOUT, "the end of the run (the score file)")
    finally:
        game.xdotool("keyup", "Right")
    check(any(Shot(path).banner() for path in reversed(kept[-KEPT_SHOTS:])), "the end-of-run banner was not seen")
    shoot_until(game, lambda s: not s.banner() and not s.in_play(), 60, "the title screen after the run")
    check(game.running(), "the game ended with the run")
    check_clean_exit(game)


if __name__ == "__main__":
    harness.run(loads_every_asset_in_order, missing_and_broken_assets_are_skipped,
                a_run_started_by_keys_ends_when_the_creature_is_caught)
