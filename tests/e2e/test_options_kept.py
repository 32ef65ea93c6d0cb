"""Options survive a restart: from the title open Options, lower the music volume two steps,
turn on motion reduction, leave and quit; the settings file then holds the new values, and
after a relaunch the options screen shows them (its rows read back from F10 screenshots)."""

import struct
import time

import harness
from harness import check

# Settings.sav: options 0..99 as 4-byte little-endian integers, then the bindings.
SETTINGS = "Settings.sav"
SETTINGS_BYTES = 4496
OPT_SFX_VOL, OPT_MUSIC_VOL, OPT_LESS_MOTION = 0, 1, 23
DEFAULT_VOLUME = 7

# The options screen in an 800 x 600 window (one pixel a unit). With the cursor on "Motion
# Reduction" the list settles with its scroll at -144: the "Music Volume" row (unselected)
# is centred at (400, 148); the selected "Motion Reduction" row is drawn 8 up and left, at
# (392, 510). Row boxes are 400 x 32 inside.
ROW_W, ROW_H = 400, 32
MUSIC_ROW = (400, 292 - 144)
MOTION_ROW = (392, 662 - 144 - 8)
ROWS_DOWN_TO_MOTION = 5
MOTION_FROM_MUSIC = 3
SETTLE_TRIES = 20          # screenshots taken until two in a row agree on the rows
MOST_DIFFERING = 0.002     # share of row pixels two views of the same rows may differ by
# Presses are held and spaced well beyond a frame, so a game starved of the CPU for a moment
# on a busy machine still sees each press and each release.
RELEASE_GAP = 0.3
TITLE_SETTLE = 1           # seconds for the title's first updates, which take the opening latches


def press(game, name, times=1):
    """Taps a key `times` times; each press and each gap spans several updates."""
    for _ in range(times):
        game.key(name, hold=harness.MENU_HOLD)
        time.sleep(RELEASE_GAP)


def settings_options(game):
    path = game.wait_for_file(SETTINGS)
    with open(path, "rb") as f:
        data = f.read()
    check(len(data) == SETTINGS_BYTES, "%s holds %d bytes, not %d" % (SETTINGS, len(data), SETTINGS_BYTES))
    return struct.unpack("<100i", data[:400])


def start_at_title(game):
    game.start()
    game.wait_loaded()
    game.window()
    time.sleep(TITLE_SETTLE)


def open_options(game):
    """From the title's Start button, one step right to Options, and confirm."""
    press(game, "Right")
    press(game, "Return")


def crop(picture, centre):
    _, _, rows = picture
    cx, cy = centre
    return [row[cx - ROW_W // 2:cx + ROW_W // 2] for row in rows[cy - ROW_H // 2:cy + ROW_H // 2]]


def differing(a, b):
    """Share of pixels that differ between two crops of the same size."""
    total = sum(len(r) for r in a)
    diff = sum(1 for ra, rb in zip(a, b) for pa, pb in zip(ra, rb) if pa[:3] != pb[:3])
    return diff / total


def settled_rows(game):
    """The two rows once the list has stopped scrolling: two screenshots in a row agree."""
    last = None
    for _ in range(SETTLE_TRIES):
        picture = harness.read_png(game.screenshot())
        rows = (crop(picture, MUSIC_ROW), crop(picture, MOTION_ROW))
        if last is not None and all(differing(a, b) <= MOST_DIFFERING for a, b in zip(rows, last)):
            return rows
        last = rows
    raise harness.Failure("the options screen did not settle")


def same_rows(a, b):
    return all(differing(x, y) <= MOST_DIFFERING for x, y in zip(a, b))


def options_are_kept(game):
    start_at_title(game)
    open_options(game)
    press(game, "Down", ROWS_DOWN_TO_MOTION)
    defaults = settled_rows(game)

    press(game, "Up", MOTION_FROM_MUSIC)
    press(game, "Left", 2)
    press(game, "Down", MOTION_FROM_MUSIC)
    press(game, "Return")
    changed = settled_rows(game)
    check(differing(changed[0], defaults[0]) > MOST_DIFFERING, "the music volume row did not change")
    check(differing(changed[1], defaults[1]) > MOST_DIFFERING, "the motion reduction row did not change")

    press(game, "Escape")                   # leave the options screen (it saves)
    saved = settings_options(game)
    check(saved[OPT_MUSIC_VOL] == DEFAULT_VOLUME - 2, "music volume %d saved on leaving" % saved[OPT_MUSIC_VOL])
    check(game.quit("Escape", hold=harness.MENU_HOLD) == 0, "the game did not end cleanly")   # on the title

    saved = settings_options(game)
    check(saved[OPT_MUSIC_VOL] == DEFAULT_VOLUME - 2, "music volume %d in %s" % (saved[OPT_MUSIC_VOL], SETTINGS))
    check(saved[OPT_LESS_MOTION] == 1, "motion reduction %d in %s" % (saved[OPT_LESS_MOTION], SETTINGS))
    check(saved[OPT_SFX_VOL] == DEFAULT_VOLUME, "sfx volume %d in %s" % (saved[OPT_SFX_VOL], SETTINGS))

    game.close()
    start_at_title(game)                    # the same home folder, with its settings file
    open_options(game)
    press(game, "Down", ROWS_DOWN_TO_MOTION)
    relaunched = settled_rows(game)
    check(same_rows(relaunched, changed), "after a relaunch the options screen does not show the kept values")
    check(game.quit() == 0, "the relaunched game did not end cleanly")


if __name__ == "__main__":
    harness.run(options_are_kept)
