"""The settings and score files of the real game: a first launch makes a new user id, quitting
writes both files whole (4,496 and 90,788 bytes), and a second launch in the same folder reads
them back: the same "User ID", no new id, no checksum error, and the same files on its quit."""

import os
import re

import harness
from harness import check

SETTINGS = "Settings.sav"
SCORE_FILE = "Save_556_Brindlewick.sav"
SETTINGS_BYTES = 4496
SCORE_FILE_BYTES = 90788
USER_ID = r"> User ID '([A-Z]*)'$"


def run_until_quit(game):
    """Starts the game, waits for its user id, quits with F4 and returns (id, log)."""
    game.start()
    user_id = game.wait_for_log(USER_ID).group(1)
    game.wait_loaded()
    game.key("F4")
    code = game.wait_exit()
    check(code == 0, "exit code %s, not 0" % code)
    log = game.log()
    game.close()
    return user_id, log


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


def files_outlive_the_game(game):
    first_id, log = run_until_quit(game)
    check(first_id, "the first launch logged an empty user id")
    check("> Reset User" in log, "the first launch made no new user id")
    first = saved_files(game)

    second_id, log = run_until_quit(game)
    check(second_id == first_id, "user id %r after the restart, %r before" % (second_id, first_id))
    check("> Reset User" not in log, "the second launch made a new user id")
    check("> Checksum Error" not in log, "the saved score file failed its checks")
    check(not re.search(r"^A", log, re.M), "the saved user id failed its check")
    second = saved_files(game)
    for name in first:
        check(second[name] == first[name], name + " changed between two launches with nothing played")


if __name__ == "__main__":
    harness.run(files_outlive_the_game)
