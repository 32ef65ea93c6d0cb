"""A damaged music file in the real game under Xvfb: a copy of the data folder whose
wombats.ogg carries comment headers whose lengths run past their packet (the kinds that make an
unchecked decoder free pointers it never set, or allocate and loop for gigabytes). The game logs
"Error Opening Ogg" when a run starts, plays the run in silence and quits cleanly. So it does for
a sample rate whose top bit is set, once rather than at every refill. A 6-channel file whose
second link has a damaged codebook header plays its first link, loops, and logs nothing."""

import os
import re
import shutil
import struct
import time

import harness
from harness import check
import test_play

MUSIC = os.path.join("audio", "wombats.ogg")
TITLE_SETTLE = 1.5
MENU_STEP = 0.3
PLAY_SECONDS = 3          # the run goes on this long after the music failed


# -- Ogg pages ----------------------------------------------------------------------------------

def _crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else (r << 1)
        table.append(r & 0xFFFFFFFF)
    return table


CRC_TABLE = _crc_table()


def page_crc(data):
    crc = 0
    for b in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ CRC_TABLE[((crc >> 24) & 0xFF) ^ b]
    return crc


def read_pages(data):
    """(header fields, lacing values, body, start offset) of every page."""
    pages, at = [], 0
    while at + 27 <= len(data) and data[at:at + 4] == b"OggS":
        count = data[at + 26]
        lacing = list(data[at + 27:at + 27 + count])
        start = at + 27 + count
        pages.append((data[at:at + 27], lacing, data[start:start + sum(lacing)], at))
        at = start + sum(lacing)
    return pages


def header_packets(pages):
    """The first three packets and the offset of the page after the one that ends the third."""
    packets, current = [], b""
    for header, lacing, body, start in pages:
        pos = 0
        for value in lacing:
            current += body[pos:pos + value]
            pos += value
            if value < 255:
                packets.append(current)
                current = b""
                if len(packets) == 3:
                    return packets, start + 27 + len(lacing) + len(body)
    raise harness.Failure("the music file has no three header packets")


def make_page(template, packet, sequence):
    """One page holding one whole packet (of fewer than 255 * 255 bytes), with its checksum."""
    lacing = [255] * (len(packet) // 255) + [len(packet) % 255]
    head = bytearray(template)
    head[5] = 0                                       # not continued, not first, not last
    head[6:14] = struct.pack("<q", 0)                 # granule position of a header page
    head[18:22] = struct.pack("<I", sequence)
    head[22:26] = b"\0\0\0\0"
    head[26] = len(lacing)
    page = bytes(head) + bytes(lacing) + packet
    return page[:22] + struct.pack("<I", page_crc(page)) + page[26:]


def comment_packet(vendor_length, vendor, count, comments):
    """A comment header with the length fields written as given: (length, text) per comment."""
    packet = b"\x03vorbis" + struct.pack("<I", vendor_length) + vendor + struct.pack("<I", count)
    for length, text in comments:
        packet += struct.pack("<I", length) + text
    return packet + b"\x01"


def with_comments(original, packet):
    """The file with its comment header replaced: its first page, a page for the new comment
    header, a page for the original codebooks, then the original audio pages."""
    pages = read_pages(original)
    check(len(pages) > 3, "the music file has too few pages")
    packets, audio = header_packets(pages)
    first_end = pages[1][3]
    template = pages[1][0]
    return (original[:first_end] + make_page(template, packet, 1) + make_page(template, packets[2], 2) +
            original[audio:])


# The comment count runs past the packet, or the first comment's length is -16: either way an
# unchecked decoder gives up with most of its table of comment pointers never set, and frees
# them (the old game crashed at the start of a run). A vendor length of two gigabytes makes it
# allocate and read that much.
DAMAGES = {
    "comment_count_past_packet": comment_packet(7, b"brindle", 100, [(10, b"TITLE=Tide")]),
    "comment_length_negative": comment_packet(7, b"brindle", 40, [(0xFFFFFFF0, b"A=1"), (3, b"B=2")]),
    "vendor_length_huge": comment_packet(0x7FFFFFF0, b"brindle", 0, []),
}


def with_rate_top_bit(original):
    """The file with its sample rate field (identification header, first page) given its top
    bit, and the page's checksum made good again."""
    pages = read_pages(original)
    header, lacing, body, start = pages[0]
    check(body[:7] == b"\x01vorbis", "the music file does not start with its identification header")
    at = start + 27 + len(lacing) + 12                 # type, "vorbis", version, channels
    damaged = bytearray(original)
    damaged[at + 3] |= 0x80
    end = start + 27 + len(lacing) + len(body)
    damaged[start + 22:start + 26] = b"\0\0\0\0"
    damaged[start + 22:start + 26] = struct.pack("<I", page_crc(bytes(damaged[start:end])))
    return bytes(damaged)


# Two links of 6-channel tones, one byte of the second link's codebook header zeroed and its
# page checksum made good: libvorbis rejects that link, and decoding on past it divided by zero.
LATER_LINK_DAMAGED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus",
                                  "ogg_stream", "chain_6ch_second_setup_byte17_zeroed.ogg")


def damaged_data_folder(game, damage):
    """damage maps the generated music file's bytes to those of the damaged one."""
    link = os.path.join(game.home, "Data", str(harness.GAME_NUMBER))
    source = os.path.realpath(link)
    os.remove(link)
    shutil.copytree(source, link)
    path = os.path.join(link, MUSIC)
    with open(path, "rb") as f:
        original = f.read()
    with open(path, "wb") as f:
        f.write(damage(original))


def start_a_run(game):
    game.wait_loaded()
    time.sleep(TITLE_SETTLE)
    for key in ("Return", "Up", "Return"):   # Start, then Easy
        game.key(key, hold=harness.MENU_HOLD)
        time.sleep(MENU_STEP)
    test_play.shoot_until(game, lambda s: s.in_play(), 30, "the play screen with its score display")


def run_with(damage):
    def case(game):
        damaged_data_folder(game, lambda original: with_comments(original, DAMAGES[damage]))
        game.start()
        start_a_run(game)
        game.wait_for_log(r"> Error Opening Ogg$")
        time.sleep(PLAY_SECONDS)
        check(game.running(), "the game ended after the music failed")
        test_play.shoot(game)   # the game still draws and answers keys
        code = game.quit()
        check(code == 0, "exit code %s, not 0" % code)
        log = game.log()
        check(re.search(r"^Farewell happy gamer$", log, re.M), "no farewell line")
        check("Error Opening OGG stream" not in log, "a refused file still reached the stream")
    case.__name__ = "music_with_" + damage
    return case


def music_with_rate_top_bit_is_refused_once(game):
    damaged_data_folder(game, with_rate_top_bit)
    game.start()
    start_a_run(game)
    game.wait_for_log(r"> Error Opening Ogg - \d+ Hz$")
    time.sleep(PLAY_SECONDS)
    check(game.running(), "the game ended after the music failed")
    code = game.quit()
    check(code == 0, "exit code %s, not 0" % code)
    log = game.log()
    check(game.log_count(r"> Error Opening Ogg") == 1, "the music was refused more than once")
    check("Buffer Error" not in log, "blocks of the refused music reached OpenAL")


def music_with_a_damaged_later_link_plays_its_first(game):
    with open(LATER_LINK_DAMAGED, "rb") as f:
        chained = f.read()
    damaged_data_folder(game, lambda original: chained)
    game.start()
    start_a_run(game)
    time.sleep(PLAY_SECONDS)   # the 0.1 s links loop many times over
    check(game.running(), "the game ended while its music played (a crash in the decoder?)")
    test_play.shoot(game)
    code = game.quit()
    check(code == 0, "exit code %s, not 0" % code)
    log = game.log()
    check("Ogg" not in log and "Buffer Error" not in log, "the music logged an error:\n" + log)


def a_good_music_file_starts_without_error(game):
    game.start()
    start_a_run(game)
    time.sleep(PLAY_SECONDS)
    check("Error Opening Ogg" not in game.log(), "the generated music file was refused")
    code = game.quit()
    check(code == 0, "exit code %s, not 0" % code)


if __name__ == "__main__":
    harness.run(*[run_with(d) for d in DAMAGES], music_with_rate_top_bit_is_refused_once,
                music_with_a_damaged_later_link_plays_its_first, a_good_music_file_starts_without_error)
