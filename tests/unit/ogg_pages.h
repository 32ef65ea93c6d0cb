// The Ogg page layout for the tests and the Ogg fuzz target: the length of a page, its CRC
// (polynomial 0x04c11db7, initial value 0, not reflected, over the whole page with its CRC
// field read as zero) and a pass that rewrites the CRC field of every whole page in a buffer,
// so mutated bytes get past the page reader's checksum test and reach the Vorbis decoders.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ogg_pages {

constexpr size_t OggPageHeaderBytes = 27;   // up to and including the segment count
constexpr size_t OggPageGranuleAt = 6;      // the 8 bytes of the granule position, little-endian
constexpr size_t OggPageCrcAt = 22;         // the 4 bytes of the CRC field, little-endian
constexpr size_t OggPageSegmentsAt = 26;

inline const std::array<uint32_t, 256>& OggCrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    return table;
}

// The CRC of a whole page of size bytes, its CRC field taken as zero.
inline uint32_t OggPageCrc(const uint8_t* page, size_t size) {
    const auto& table = OggCrcTable();
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = (i >= OggPageCrcAt && i < OggPageCrcAt + 4) ? 0 : page[i];
        crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xff];
    }
    return crc;
}

// The length of the page that starts at data (its capture pattern already seen), or 0 when
// its header or body runs past size.
inline size_t OggPageLength(const uint8_t* data, size_t size) {
    if (size < OggPageHeaderBytes) return 0;
    const size_t segments = data[OggPageSegmentsAt];
    const size_t header = OggPageHeaderBytes + segments;
    if (size < header) return 0;
    size_t length = header;
    for (size_t s = 0; s < segments; ++s) length += data[OggPageHeaderBytes + s];
    return length <= size ? length : 0;
}

// Rewrites the CRC field of every whole page found in the buffer, walking it as a page reader
// does: from each "OggS" to the end of its page, or one byte on where a page is not whole.
// Returns the number of pages sealed.
inline int SealOggPages(uint8_t* data, size_t size) {
    int sealed = 0;
    size_t at = 0;
    while (at + 4 <= size) {
        if (std::memcmp(data + at, "OggS", 4) != 0) {
            ++at;
            continue;
        }
        const size_t length = OggPageLength(data + at, size - at);
        if (length == 0) {
            ++at;
            continue;
        }
        const uint32_t crc = OggPageCrc(data + at, length);
        for (int b = 0; b < 4; ++b) data[at + OggPageCrcAt + b] = static_cast<uint8_t>(crc >> (8 * b));
        ++sealed;
        at += length;
    }
    return sealed;
}

}  // namespace ogg_pages
