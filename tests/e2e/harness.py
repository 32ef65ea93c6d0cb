"""Shared harness of the end-to-end tests: the real game binary under its own X server.

Each test script runs `python3 test_x.py --game <binary> --work <dir>` (ctest passes both) and
hands its cases to `run()`. Every case gets a fresh home folder `<work>/<case>` holding a copy of
the binary and a link to the generated data folder `Data/556` found beside the binary, so the
game's saves and screenshots land there. The game starts under its own
`xvfb-run -a -s '-screen 0 1280x1024x24 -noreset'` with `ALSOFT_DRIVERS=null` (overridable);
stdout and stderr go to `<home>/game.log`; the case runs with the home as its working folder,
like the game. Helpers: `wait_for_log`, `wait_loaded`, `window`, `key` and `click` (held, to a
focused window), `press_until` (a key pressed again until its effect shows), `quit`,
`close_window` (the window's close box, sent as WM_DELETE_WINDOW over the X protocol),
`screenshot` (F10), `wait_for_file`, `wait_exit`, `check_clean_exit`, `read_png`. Clean-up
always ends the game and the X server.
Python 3 standard library only; a missing xvfb-run or xdotool fails the test loudly. A machine
that cannot run an X server at all (its /tmp may not be written) skips the test: the script
names what is missing and exits with SKIP_EXIT, which ctest reports as skipped.
"""

import argparse
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import zlib

XVFB_SCREEN = "-screen 0 1280x1024x24"
# Without -noreset the server resets when its last client leaves: the game's quitting would
# then cut off the X connections of the test's own tools (the release of the quitting key).
XVFB_ARGS = XVFB_SCREEN + " -noreset"
WINDOW_TITLE = "Brindlewick"
GAME_NUMBER = 556
DEFAULT_TIMEOUT = 90      # seconds: CI machines are busy, a slow start is not a failure
KEY_HOLD = 0.15           # the game polls with sticky keys off: hold keys longer than a frame
# A key whose repeat would change the outcome (a menu move, a toggle) cannot be pressed again
# when its press was lost, so it is held longer: a frame of a loaded machine can outlast
# KEY_HOLD. The game's held-key repeats start after far more updates than this spans.
MENU_HOLD = 0.3
PRESS_ANSWER = 3          # seconds for a press's effect to show before the key is pressed again
PRESSES = 5               # presses (each held twice as long as the one before) before giving up
RELEASE_GRACE = 10        # seconds for a game whose key release failed to be found ending
SHOT_MTIME_SLACK = 0.05   # seconds file times may lag the clock (the kernel's coarse clock)
POLL = 0.05               # seconds between checks of a waited-for condition
FOCUS_TIMEOUT = 15        # seconds for the X server to move the input focus
FOCUS_SETTLE = 0.5        # seconds for an unfocused game (polling every 150 ms) to see its focus
START_TRIES = 3           # X servers started in parallel can collide on a display number
# F10 is done once no new screenshot save came for SAVE_QUIET_FRAMES frames (estimated from
# the saves of the press), within SAVE_QUIET_MIN and SAVE_QUIET_MAX seconds.
SAVE_QUIET_FRAMES = 4
SAVE_QUIET_MIN, SAVE_QUIET_MAX = 0.25, 1.0
LOADER_GRACE = 20         # seconds after the window within which a loader logs its first asset
# Xvfb keeps its lock file and socket folder in /tmp whatever TMPDIR says.
X_LOCK_FOLDER = "/tmp"
SKIP_EXIT = 77            # the exit code ctest reads as "skipped" (SKIP_RETURN_CODE of the e2e tests)

# The log lines of the start-up and of a clean shutdown.
LOG_WINDOW = r"> Opened Window$"
LOG_FAREWELL = r"^Farewell happy gamer$"
LOG_LAST_ASSET = r"> Load Image : rippleb $"   # the asset loader's last step
LOG_FIRST_ASSET = r"> Load Font  : "           # the asset loader's first step
LOG_SAVED = r"> Saving Image - (\d+)x(\d+)  to (.*)$"  # an F10 screenshot: width, height, path


class Failure(AssertionError):
    pass


class Skip(Exception):
    """The machine lacks something the test needs: not a fault of the game or of the set-up."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def parse_args(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--game", required=True, help="the built game binary")
    parser.add_argument("--work", required=True, help="scratch folder of this test")
    return parser.parse_args(argv)


def require_tools():
    missing = [tool for tool in ("xvfb-run", "xdotool", "xauth") if shutil.which(tool) is None]
    check(not missing, "missing tools (run scripts/setup): " + ", ".join(missing))
    if not writable(X_LOCK_FOLDER):
        raise Skip("%s may not be written here: Xvfb cannot make its lock file, so no X server can start"
                   % X_LOCK_FOLDER)


def writable(folder):
    """True when a file can be made in folder (a read-only mount says no even to root)."""
    try:
        fd, path = tempfile.mkstemp(prefix=".e2e-probe-", dir=folder)
    except OSError:
        return False
    os.close(fd)
    os.unlink(path)
    return True


def fresh_dir(path):
    path = os.path.abspath(path)
    check(path not in ("/", os.path.expanduser("~")), "refusing to clear " + path)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def wait_until(condition, timeout, what):
    """Polls condition() until it returns a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %gs waiting for %s" % (timeout, what))
        time.sleep(POLL)


class XServer:
    """An Xvfb started by xvfb-run around a helper shell that reports DISPLAY and XAUTHORITY
    and then waits on its stdin: closing that pipe (also when this process dies) lets
    xvfb-run end the server and remove its authority file."""

    HELPER = 'printf "%s\\n%s\\n" "$DISPLAY" "$XAUTHORITY"; read dummy'

    def __init__(self):
        self.proc = None
        self.display = None
        self.xauthority = None
        for attempt in range(START_TRIES):
            if self._start():
                return
            self.stop()
        raise Failure("xvfb-run could not start an X server")

    def _start(self):
        self.proc = subprocess.Popen(
            ["xvfb-run", "-a", "-s", XVFB_ARGS, "sh", "-c", self.HELPER],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            start_new_session=True, text=True)
        self.display = self.proc.stdout.readline().strip()
        self.xauthority = self.proc.stdout.readline().strip()
        return bool(self.display) and self.proc.poll() is None

    def env(self):
        return {"DISPLAY": self.display, "XAUTHORITY": self.xauthority}

    def stop(self):
        if self.proc is None:
            return
        try:
            self.proc.stdin.close()
        except OSError:
            pass
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            kill_group(self.proc)
        self.proc.stdout.close()
        self.proc = None


def kill_group(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(timeout=15)
    except subprocess.TimeoutExpired:
        pass


class Game:
    """One run of the game in a fresh home folder under its own X server."""

    def __init__(self, binary, home):
        self.binary = os.path.abspath(binary)
        self.home = fresh_dir(home)
        self.log_path = os.path.join(self.home, "game.log")
        self.proc = None
        self.xserver = None
        self.log_file = None
        self.window_id = None
        self.pressed_at = 0.0   # time.monotonic() of the last key press
        data = os.path.join(os.path.dirname(self.binary), "Data", str(GAME_NUMBER))
        check(os.path.isdir(data), "no data folder beside the binary: " + data)
        os.makedirs(os.path.join(self.home, "Data"))
        os.symlink(data, os.path.join(self.home, "Data", str(GAME_NUMBER)))
        self.exe = os.path.join(self.home, os.path.basename(self.binary))
        shutil.copy2(self.binary, self.exe)

    # -- start and stop --------------------------------------------------------------------

    def start(self, env=None):
        """Starts the game; env adds to (or overrides) ALSOFT_DRIVERS=null."""
        require_tools()
        self.xserver = XServer()
        full_env = dict(os.environ)
        full_env["ALSOFT_DRIVERS"] = "null"
        full_env.update(env or {})
        full_env.update(self.xserver.env())
        self.log_file = open(self.log_path, "wb")
        self.proc = subprocess.Popen([self.exe], cwd=self.home, env=full_env, stdin=subprocess.DEVNULL,
                                     stdout=self.log_file, stderr=subprocess.STDOUT, start_new_session=True)
        return self

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the game to end and returns its exit code."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the game did not exit within %gs" % timeout)

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            kill_group(self.proc)
        if self.xserver is not None:
            self.xserver.stop()
            self.xserver = None
        if self.log_file is not None:
            self.log_file.close()
            self.log_file = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    # -- the log -----------------------------------------------------------------------------

    def log(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read().decode("utf-8", "replace")
        except FileNotFoundError:
            return ""

    def mark(self):
        """The log's current length: pass it as `since` to wait only for later lines."""
        return len(self.log())

    def log_count(self, pattern, since=0):
        return len(re.findall(pattern, self.log()[since:], re.M))

    def wait_for_log(self, pattern, timeout=DEFAULT_TIMEOUT, since=0, count=1):
        """Waits until the log (from offset `since`) matches the regex `pattern` (multi-line
        mode) `count` times and returns the last match. Fails early when the game ends first."""
        def found():
            matches = list(re.finditer(pattern, self.log()[since:], re.M))
            if len(matches) >= count:
                return matches[count - 1]
            if not self.running():
                # One last read: the game may have written the line just before it ended.
                matches = list(re.finditer(pattern, self.log()[since:], re.M))
                if len(matches) >= count:
                    return matches[count - 1]
                raise Failure("the game ended (code %s) before logging %r" % (self.proc.returncode, pattern))
            return None
        return wait_until(found, timeout, "log line %r" % pattern)

    def wait_loaded(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the main window and, when the game has an asset loader, for its last
        asset. A game whose first update logs no asset at all has no loader to wait for."""
        self.wait_for_log(LOG_WINDOW, timeout, count=2)
        self.window(timeout)
        try:
            self.wait_for_log(LOG_FIRST_ASSET, min(timeout, LOADER_GRACE))
        except Failure:
            if not self.running():
                raise
            return
        self.wait_for_log(LOG_LAST_ASSET, timeout)

    # -- the window and input ------------------------------------------------------------------

    def xdotool(self, *args, timeout=DEFAULT_TIMEOUT, check_rc=True):
        env = dict(os.environ)
        env.update(self.xserver.env())
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=env, capture_output=True,
                                text=True, timeout=timeout)
        if check_rc:
            check(result.returncode == 0, "xdotool %s failed: %s" % (" ".join(map(str, args)), result.stderr))
        return result.stdout

    def visible_window(self):
        """The id of the game's visible window now (the newest one: the game re-creates it), or
        None: no waiting."""
        ids = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % WINDOW_TITLE, check_rc=False).split()
        return int(ids[-1]) if ids else None

    def window(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the game's visible window and returns its id; fails at once when the game
        has ended."""
        def search():
            wid = self.visible_window()
            check(wid is not None or self.running(), "the game ended (code %s) without a window" % self.proc.returncode)
            return wid
        self.window_id = wait_until(search, timeout, "the game window")
        return self.window_id

    def window_size(self):
        out = self.xdotool("getwindowgeometry", self.window())
        m = re.search(r"Geometry: (\d+)x(\d+)", out)
        check(m is not None, "no window geometry in: " + out)
        return int(m.group(1)), int(m.group(2))

    def focus(self):
        """Gives the game's window the input focus if it lacks it, as a window manager does for
        a new window: without one, a window the game re-creates (F11, Q with a digit) may be
        left unfocused. Then waits for the game's unfocused loop, which polls only every 150 ms,
        to see the focus, so that the next key is not shorter than its poll interval."""
        wid = self.window()
        if self.xdotool("getwindowfocus", check_rc=False).strip() == str(wid):
            return
        try:
            self.xdotool("windowfocus", "--sync", wid, check_rc=False, timeout=FOCUS_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("the game window %s does not take the input focus" % wid)
        time.sleep(FOCUS_SETTLE)

    def key(self, *names, hold=KEY_HOLD):
        """Holds one key or a chord (X keysym names such as F4, Return, q) for `hold` seconds,
        sent to the game's window. A release that fails because the press ended the game is no
        failure."""
        chord = "+".join(names)
        self.focus()
        self.xdotool("keydown", chord)
        self.pressed_at = time.monotonic()
        time.sleep(hold)
        try:
            self.xdotool("keyup", chord)
        except Failure:
            try:
                self.wait_exit(RELEASE_GRACE)
            except Failure:
                raise Failure("xdotool keyup %s failed while the game runs" % chord)

    def press_until(self, names, done, what, hold=KEY_HOLD):
        """Holds a key or chord until done() returns a true value, which is returned: waits up
        to PRESS_ANSWER seconds after each press and presses again, held twice as long, up to
        PRESSES times. Under load one frame can outlast a hold, and a press that no poll saw
        is lost. Only for keys whose repeat cannot change the outcome (F10, F4)."""
        for press in range(1, PRESSES + 1):
            try:
                self.key(*names, hold=hold)
            except Failure:
                if self.running():
                    raise   # else the press may have ended the game, which done() tells
            try:
                return wait_until(done, PRESS_ANSWER, what)
            except Failure:
                check(self.running(), "the game ended (code %s) before %s" % (self.proc.returncode, what))
            if press < PRESSES:
                print("no %s within %gs of %s held %gs: pressed again" % (what, PRESS_ANSWER, "+".join(names), hold),
                      flush=True)
                hold *= 2
        raise Failure("no %s after %d presses of %s" % (what, PRESSES, "+".join(names)))

    def quit(self, *names, hold=KEY_HOLD, timeout=DEFAULT_TIMEOUT):
        """Holds F4 (or the given key, where it quits and its repeat does too) until the game
        ends; returns its exit code. The key is pressed again only while the window still shows:
        a game whose window is gone is already closing down."""
        names = names or ("F4",)
        ended = lambda: not self.running() or self.visible_window() is None
        self.press_until(names, ended, "the game closing after " + "+".join(names), hold)
        return self.wait_exit(timeout)

    def click(self, x, y, button=1, hold=KEY_HOLD):
        """Presses a mouse button at window pixel (x, y), holding it for `hold` seconds."""
        self.focus()
        self.xdotool("mousemove", "--window", self.window(), x, y)
        self.xdotool("mousedown", button)
        time.sleep(hold)
        self.xdotool("mouseup", button)

    def close_window(self):
        """Clicks the window's close box: the WM_DELETE_WINDOW request a window manager sends."""
        send_delete_window(self.xserver.display, self.xserver.xauthority, self.window())

    # -- files ---------------------------------------------------------------------------------

    def path(self, name):
        return os.path.join(self.home, name)

    def wait_for_file(self, path, timeout=DEFAULT_TIMEOUT):
        """Waits for a file (relative to the home folder, or absolute) to exist and be non-empty
        with a size that holds still across two checks; returns its full path."""
        full = path if os.path.isabs(path) else self.path(path)
        sizes = []
        def ready():
            size = os.path.getsize(full) if os.path.isfile(full) else 0
            sizes.append(size)
            return size > 0 and sizes[-2:] == [size, size]
        wait_until(ready, timeout, "file " + full)
        return full

    def screenshot(self, timeout=DEFAULT_TIMEOUT):
        """Presses F10 (again when no save follows, see press_until) and returns the full path
        of the last screenshot saved, once the game has logged no further save for a while and
        the file, written since the first press, is a complete PNG. The renderer saves on every
        frame while F10 is held, logging each save before it writes the file, and names files
        by the second: an older file of the same name is not taken for the new one. The while
        is a few frames, their length guessed from the saves the press made: short enough to
        catch a screen that shows for a second or two."""
        since = self.mark()
        pressed = time.time() - SHOT_MTIME_SLACK
        self.press_until(("F10",), lambda: self.log_count(LOG_SAVED, since), "a screenshot save")
        last = {"count": 0, "at": 0.0, "quiet": SAVE_QUIET_MAX}
        def settled():
            saves = re.findall(LOG_SAVED, self.log()[since:], re.M)
            now = time.monotonic()
            if len(saves) != last["count"]:
                if last["count"] == 0:
                    frame = (now - self.pressed_at) / len(saves)
                    last["quiet"] = min(SAVE_QUIET_MAX, max(SAVE_QUIET_MIN, SAVE_QUIET_FRAMES * frame))
                last["count"], last["at"] = len(saves), now
                return None
            return now - last["at"] >= last["quiet"] and saves[-1]
        name = wait_until(settled, timeout, "the last screenshot save")[2]
        path = os.path.abspath(name if os.path.isabs(name) else self.path(name))
        def complete():
            try:
                return os.stat(path).st_mtime >= pressed and png_complete(path)
            except OSError:
                return False
        wait_until(complete, timeout, "a complete screenshot " + path + " written after the press")
        return path

    def files(self, pattern):
        return sorted(f for f in os.listdir(self.home) if re.fullmatch(pattern, f))


# The farewell lines of a clean shutdown, in order.
FAREWELL = [
    r"> Closing OpenAL Audio$",
    r"> Closing OpenGL Window$",
    r"^Runtime : \d+:\d\d$",
    LOG_FAREWELL,
    r"^-=-=-=-=-=-=-=-=-$",
]


def check_clean_exit(game, timeout=DEFAULT_TIMEOUT):
    """Waits for the game to end; checks exit code 0 and the farewell lines in order."""
    code = game.wait_exit(timeout)
    check(code == 0, "exit code %s, not 0" % code)
    log = game.log()
    pos = 0
    for pattern in FAREWELL:
        m = re.compile(pattern, re.M).search(log, pos)
        check(m is not None, "no farewell line %r after the previous one" % pattern)
        pos = m.end()


# -- X protocol: the window close request ---------------------------------------------------------

def _xauth_cookie(xauthority, number):
    """The MIT-MAGIC-COOKIE-1 of display `number` in an Xauthority file, or (b"", b"")."""
    try:
        with open(xauthority, "rb") as f:
            data = f.read()
    except OSError:
        return b"", b""
    pos = 0
    while pos + 2 <= len(data):
        fields = []
        pos += 2  # family
        for _ in range(4):
            (n,) = struct.unpack(">H", data[pos:pos + 2])
            fields.append(data[pos + 2:pos + 2 + n])
            pos += 2 + n
        _, display, name, cookie = fields
        if display == str(number).encode() and name == b"MIT-MAGIC-COOKIE-1":
            return name, cookie
    return b"", b""


def _pad(data):
    return data + b"\0" * (-len(data) % 4)


def _recv(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        check(chunk, "X server closed the connection")
        data += chunk
    return data


def send_delete_window(display, xauthority, window):
    """Sends WM_PROTOCOLS / WM_DELETE_WINDOW to the client owning `window`, as a window manager
    does when its close box is clicked."""
    number = int(re.match(r":(\d+)", display).group(1))
    name, cookie = _xauth_cookie(xauthority, number)
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.settimeout(30)
    sock.connect("/tmp/.X11-unix/X%d" % number)
    try:
        sock.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, len(name), len(cookie)) + _pad(name) + _pad(cookie))
        status, _, _, _, extra = struct.unpack("<BBHHH", _recv(sock, 8))
        _recv(sock, extra * 4)
        check(status == 1, "X server refused the connection")

        def intern(atom_name):
            body = _pad(atom_name.encode())
            sock.sendall(struct.pack("<BBHHxx", 16, 0, 2 + len(body) // 4, len(atom_name)) + body)
            reply = _recv(sock, 32)
            check(reply[0] == 1, "InternAtom %s failed" % atom_name)
            return struct.unpack("<I", reply[8:12])[0]

        protocols = intern("WM_PROTOCOLS")
        delete = intern("WM_DELETE_WINDOW")
        event = struct.pack("<BBHII5I", 33, 32, 0, window, protocols, delete, 0, 0, 0, 0)
        sock.sendall(struct.pack("<BBHII", 25, 0, 11, window, 0) + event)
        # A round trip (GetInputFocus) makes sure the server has handled the event.
        sock.sendall(struct.pack("<BxH", 43, 1))
        _recv(sock, 32)
    finally:
        sock.close()


# -- PNG files ----------------------------------------------------------------------------------

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}   # by PNG colour type


def _unfilter(raw, height, stride, bpp):
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = prev[i]
            corner = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else (up if pb <= pc else corner))) & 255
        rows.append(line)
        prev = line
    return rows


def _samples(line, count, depth):
    """The first `count` samples of a row, scaled to 0..255."""
    if depth == 8:
        return list(line[:count])
    if depth == 16:
        return list(line[0:2 * count:2])
    per_byte, top = 8 // depth, (1 << depth) - 1
    out = []
    for i in range(count):
        shift = 8 - depth * (i % per_byte + 1)
        out.append((line[i // per_byte] >> shift) & top)
    return out


def png_complete(path):
    """True when the file is a whole PNG: every chunk there with its CRC, up to IEND, and the
    image data a whole zlib stream."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return False
    pos, idat = 8, b""
    while pos + 12 <= len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        crc = data[pos + 8 + length:pos + 12 + length]
        if len(body) != length or len(crc) != 4 or struct.unpack(">I", crc)[0] != zlib.crc32(kind + body):
            return False
        if kind == b"IDAT":
            idat += body
        if kind == b"IEND":
            try:
                decompressor = zlib.decompressobj()
                decompressor.decompress(idat)
                return decompressor.eof
            except zlib.error:
                return False
        pos += 12 + length
    return False


def read_png(path):
    """Decodes a non-interlaced PNG of any colour type and depth: returns (width, height, rows),
    each row a list of (r, g, b, a) tuples, top row first."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG file")
    pos, idat, header, palette, alphas = 8, b"", None, [], b""
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"tRNS":
            alphas = body
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    check(header is not None, path + " has no header")
    width, height, depth, colour, _, _, interlace = header
    check(colour in CHANNELS and interlace == 0, path + ": colour type %d, interlace %d" % (colour, interlace))
    channels = CHANNELS[colour]
    stride = (width * channels * depth + 7) // 8
    lines = _unfilter(zlib.decompress(idat), height, stride, max(1, channels * depth // 8))
    grey_scale = 255 // ((1 << depth) - 1) if depth < 8 else 1
    rows = []
    for line in lines:
        v = _samples(line, width * channels, depth)
        if colour == 3:
            row = [palette[i] + ((alphas[i],) if i < len(alphas) else (255,)) for i in v]
        elif colour in (0, 4):
            row = [(v[x * channels] * grey_scale,) * 3 + ((v[x * channels + 1],) if colour == 4 else (255,))
                   for x in range(width)]
        else:
            row = [tuple(v[x * channels:x * channels + 3]) + ((v[x * 4 + 3],) if colour == 6 else (255,))
                   for x in range(width)]
        rows.append(row)
    return width, height, rows


# -- running the cases of a script ----------------------------------------------------------------

def run(*cases, argv=None):
    """Runs each case (a function taking a fresh, not yet started Game) in its own home folder
    `<work>/<case name>`, always cleaning up; prints the log of a failed case and exits 1 if any
    case failed. A case the machine cannot run (Skip) prints why; when no case failed and one
    was skipped the script exits with SKIP_EXIT."""
    args = parse_args(argv)
    binary, work, start_dir = os.path.abspath(args.game), os.path.abspath(args.work), os.getcwd()
    failed, skipped = [], []
    for case in cases:
        name = case.__name__
        print("=== %s" % name, flush=True)
        game = None
        try:
            game = Game(binary, os.path.join(work, name))
            # The case runs in the game's working folder, its home: a path the game logs
            # relative to it (a home too long for a screenshot's full path gives a bare file
            # name) opens the same file from the test.
            os.chdir(game.home)
            with game:
                case(game)
            print("--- PASS %s" % name, flush=True)
        except Skip as reason:
            skipped.append(name)
            print("--- SKIP %s: %s" % (name, reason), flush=True)
        except Exception:
            failed.append(name)
            traceback.print_exc()
            if game is not None:
                print("--- game log of %s:\n%s" % (name, game.log()[-6000:]), flush=True)
            print("--- FAIL %s" % name, flush=True)
        finally:
            os.chdir(start_dir)
    if failed:
        print("failed: " + ", ".join(failed), flush=True)
        sys.exit(1)
    if skipped:
        print("skipped: " + ", ".join(skipped), flush=True)
        sys.exit(SKIP_EXIT)
