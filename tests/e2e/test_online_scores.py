"""The online score exchange of the real game against the real score server: brindlewick-scores
on a free loopback port with a scratch database, the game under Xvfb pointed at it with
BRINDLEWICK_SCORE_HOST and started with a settings file that holds a player id and an online
name and a score file with saved boards. Once the files are read the game sends its boards, and
the server's database then holds each board's best under the player's id and name."""

import os
import re
import sqlite3
import struct
import subprocess
import time

import harness
from harness import check, wait_until

SERVER_NAME = "brindlewick-scores"   # built beside the game, in the server folder
SERVER_START = 30                    # seconds for the server to report its port
TITLE_SETTLE = 1.5        # seconds for the title to replace the loading screen
MENU_GAP = 0.3            # seconds between menu keys, so each is seen once
SWIM_SECONDS = 40         # a run on Easy (no hazards) swept across the water this long
TURN_HOLD, STRAIGHT = 0.5, 1.2   # seconds of one turn and of the straight stretch after it
RUN_END = 60              # seconds for the end banner to give way to the title

MISSING = -37171          # a settings value the game skips, keeping its default
OPTIONS = 100             # options 0..99 in the settings file
BINDINGS = 16 * 64        # then every binding row of every logical input
OPT_USER_DATE, OPT_USER_TIME, OPT_USER_RAND, OPT_USER_CHECK = 24, 25, 26, 27
OPT_ONLINE_NAME = 50      # 50..55: twelve 6-bit codes, two per option
CHAR64B = " -0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"

SCORE_FILE = "Save_556_Brindlewick.sav"
SCORE_OPTIONS = 100       # options 100..199, then their check
SCORE_ENTRIES = 22000
CHECK_EVERY, CHECK_AFTER = 37, 1   # a block check follows every entry i with i mod 37 = 1
BOARD_STRIDE, LAST_FIVE = 20, 5

PLAYER_NAME = "E2E-Player  "              # twelve characters, as the game sends it
USER_ID = (20261210, 141500, 5551234)     # date, time and random part of the player's id
USER_ID_TEXT = "".join(                   # the same id as the game writes it: letters only
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ"[(v >> (25 - 5 * i) & 31) - 1]
    for v in USER_ID for i in range(6) if 1 <= (v >> (25 - 5 * i) & 31) <= 26)


def settings_file(path):
    """Settings.sav with the player's id, its check and the online name; every other value
    is the missing mark, so the game keeps its defaults for them."""
    options = [MISSING] * OPTIONS
    date, clock, rand = USER_ID
    options[OPT_USER_DATE], options[OPT_USER_TIME], options[OPT_USER_RAND] = USER_ID
    options[OPT_USER_CHECK] = date % 37171 + clock % 17021 + rand % 53496
    for j, c in enumerate(PLAYER_NAME):
        code = CHAR64B.index(c)
        slot = OPT_ONLINE_NAME + j // 2
        if options[slot] == MISSING:
            options[slot] = 0
        options[slot] |= code << (8 if j % 2 else 0)
    with open(path, "wb") as f:
        f.write(struct.pack("<%di" % (OPTIONS + BINDINGS), *(options + [MISSING] * BINDINGS)))


def score_file(path, boards):
    """A score file whose boards hold the given {board: best} (each also its newest score);
    every block check is the missing mark, which the game accepts."""
    table = [0] * SCORE_ENTRIES
    for board, best in boards.items():
        table[BOARD_STRIDE * board] = best
        table[BOARD_STRIDE * board + LAST_FIVE] = best
    values = [0] * SCORE_OPTIONS + [0]   # options and their check, not verified on load
    for i, v in enumerate(table):
        values.append(v)
        if i % CHECK_EVERY == CHECK_AFTER:
            values.append(MISSING)
    values.append(MISSING)      # the final check
    with open(path, "wb") as f:
        f.write(struct.pack("<%di" % len(values), *values))


class ScoreServer:
    """brindlewick-scores on a port it picks, with a database in the given folder."""

    def __init__(self, binary, folder):
        check(os.path.isfile(binary), "no score server at " + binary)
        self.db = os.path.join(folder, "scores.db")
        self.log_path = os.path.join(folder, "server.log")
        self.log_file = open(self.log_path, "wb")
        self.proc = subprocess.Popen([binary, "--host", "127.0.0.1", "--port", "0", "--db", self.db],
                                     stdout=self.log_file, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                     start_new_session=True)
        found = harness.wait_until(lambda: re.search(r"Listening on 127\.0\.0\.1:(\d+)\n", self.log()),
                                   SERVER_START, "the score server's port")
        self.port = int(found.group(1))

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def rows(self, sql):
        with sqlite3.connect(self.db) as db:
            return db.execute(sql).fetchall()

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            harness.kill_group(self.proc)
        self.log_file.close()


def start_with_server(game, server):
    settings_file(game.path("Settings.sav"))
    game.start({"BRINDLEWICK_SCORE_HOST": "127.0.0.1:%d" % server.port})


def score_server(game):
    return ScoreServer(os.path.join(os.path.dirname(game.binary), "server", SERVER_NAME), game.home)


def wait_stored(server, count):
    wait_until(lambda: server.log().count(" 200 stored ") >= count, harness.DEFAULT_TIMEOUT,
               "the server storing exchange %d" % count)


def launch_sends_the_saved_boards(game):
    server = score_server(game)
    try:
        score_file(game.path(SCORE_FILE), {2: 1234, 3: 56})
        start_with_server(game, server)
        # Once the files are read, launch sends the boards.
        game.wait_for_log(r"> Sending Highscores$")
        wait_stored(server, 1)
        check("> Checksum Error" not in game.log(), "the score file fixture failed its checks")
        players = server.rows("SELECT user_id, name FROM players")
        check(players == [(USER_ID_TEXT, PLAYER_NAME)], "players: %r" % players)
        scores = server.rows("SELECT board, user_id, score FROM best_scores ORDER BY board")
        check(scores == [(2, USER_ID_TEXT, 1234), (3, USER_ID_TEXT, 56)],
              "best scores: %r\n%s" % (scores, server.log()))
        game.wait_loaded()
        check(game.running(), "the game ended after the exchange")
    finally:
        server.stop()


def swim_a_run_on_easy(game):
    """Starts a run on Easy from the title, sweeps the water in turns and straight stretches
    (gems to eat, no hazards to meet), then quits it from the pause screen unless it ended on
    its own. Returns once the title is back (the score file is written then)."""
    game.key("Return")    # Start
    time.sleep(MENU_GAP)
    game.key("Up")        # from Normal to Easy
    time.sleep(MENU_GAP)
    game.key("Return")
    ended = lambda: os.path.exists(game.path(SCORE_FILE))
    deadline = time.monotonic() + SWIM_SECONDS
    turn = "Left"
    while time.monotonic() < deadline and not ended():
        game.key(turn, hold=TURN_HOLD)
        time.sleep(STRAIGHT)
        turn = "Right" if turn == "Left" else "Left"
    if not ended():
        game.key("Escape")    # pause, Resume selected
        time.sleep(MENU_GAP)
        game.key("Left")      # Quit
        time.sleep(MENU_GAP)
        game.key("Return")
    wait_until(ended, RUN_END, "the end of the run (the score file)")


def new_best_reaches_the_server(game):
    server = score_server(game)
    try:
        start_with_server(game, server)
        wait_stored(server, 1)   # launch: the player, no scores yet
        check(server.rows("SELECT COUNT(*) FROM best_scores") == [(0,)], "scores before any run")
        game.wait_loaded()
        time.sleep(TITLE_SETTLE)
        check(not os.path.exists(game.path(SCORE_FILE)), "a score file before any run ended")
        swim_a_run_on_easy(game)
        check(game.log_count(r"> Sending Highscores$") == 2,
              "no exchange after the run: it scored nothing or was no new best")
        wait_stored(server, 2)
        scores = server.rows("SELECT board, user_id, score FROM best_scores")
        check(len(scores) == 1 and scores[0][:2] == (1, USER_ID_TEXT) and scores[0][2] > 0,
              "best scores after the run: %r\n%s" % (scores, server.log()))
    finally:
        server.stop()


if __name__ == "__main__":
    harness.run(launch_sends_the_saved_boards, new_best_reaches_the_server)
