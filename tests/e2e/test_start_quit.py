"""Start-up and shutdown of the real game under Xvfb: both windows and the start banner, a
running game for three seconds, and a clean exit (code 0, the farewell lines) when F4 is held or
the window's close box is clicked; without an audio device the window still opens."""

import time

import harness
from harness import check

SURVIVE_SECONDS = 3       # the game must still be running this long after loading
NO_AUDIO_DRIVER = "no-such-driver"   # an OpenAL driver list that opens no device


def started(game, env=None):
    game.start(env)
    game.wait_for_log(harness.LOG_WINDOW, count=2)
    game.wait_for_log(r"^VornFrame - v0\.95 - small games on a small framework$")
    game.wait_loaded()
    time.sleep(SURVIVE_SECONDS)
    check(game.running(), "the game ended within %gs of starting" % SURVIVE_SECONDS)


def check_clean_exit(game):
    harness.check_clean_exit(game)
    check(game.log().count("> Opened Window") == 2, "the window was not opened exactly twice")


def quit_with_f4(game):
    started(game)
    game.quit()
    check_clean_exit(game)


def quit_with_close_box(game):
    started(game)
    game.close_window()
    check_clean_exit(game)


def window_without_audio_device(game):
    started(game, {"ALSOFT_DRIVERS": NO_AUDIO_DRIVER})
    log = game.log()
    check("> Audio Device Error" in log, "no \"Audio Device Error\" without an audio device")
    check("> OpenAL Audio Engaged!" not in log, "audio engaged without a device")
    game.quit()
    check_clean_exit(game)


if __name__ == "__main__":
    harness.run(quit_with_f4, quit_with_close_box, window_without_audio_device)
