// The game's own URL escaping: 19 characters travel as five-character tokens
// "*!A!*" .. "*!U!*" (N and O unused). The server undoes it; the escaping
// itself is here for the load benchmark and the tests that act as the game.
#pragma once

#include <string>

namespace scores {

// Every token is five characters: "*!", a capital letter, "!*".
constexpr std::size_t EscapeTokenLength = 5;

// The game's escaping: each table character becomes its token, bytes of value
// 128..255 are dropped, every other character is copied.
std::string EscapeTokens(const std::string& text);

// Undoes EscapeTokens. Returns false on a bad escape: a token-shaped
// "*!X!*" whose letter stands for no character, or a raw character that the
// game always sends as a token (such as '%', '+', '/' or a space) or never
// sends at all (NUL and bytes above 127).
bool UnescapeTokens(const std::string& escaped, std::string& plain);

}  // namespace scores
