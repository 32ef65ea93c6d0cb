// The game title and the scramble keyword, the 64-entry scramble table built from the
// keyword and the game number, and the scrambler the game applies to its score record.
#include "VornCore.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int ScrambleTableSize = 64;   // entries of GameScramble
constexpr int ScrambleFirstChar = 32;   // the scrambler's alphabet: ' ' ..
constexpr int ScrambleAlphabet = 92;    // .. '{', 92 characters
}  // namespace

// Copies text into a 1,024-byte member, cut to 1,023 characters and the end.
template <std::size_t N>
static void CopyCut(char (&to)[N], const std::string& text) {
    const std::size_t n = std::min(std::strlen(text.c_str()), N - 1);
    std::memcpy(to, text.c_str(), n);
    to[n] = '\0';
}

void VornCore::SetKeyword(const std::string& keyword) {
    CopyCut(GameKey, keyword);
    Rescramble();
}

// Entry i is (i + key[i mod length] + game number) mod 92; kept as it was while there is
// no keyword or no game number.
void VornCore::Rescramble() {
    const int length = static_cast<int>(std::strlen(GameKey));
    if (length < 1 || GameNum <= 0) return;
    for (int i = 0; i < ScrambleTableSize; i++) {
        const int key = static_cast<signed char>(GameKey[i % length]);
        GameScramble[i] = static_cast<signed char>((i + key + GameNum) % ScrambleAlphabet);
    }
}

void VornCore::SetTitle(const std::string& title) {
    CopyCut(GameTitle, title);
    Rescramble();
}

std::string VornCore::GetTitle() { return GameTitle; }

// Each character is shifted within ' '..'{' by a running sum of table entries that depends
// only on the position, so equal texts scramble alike and a shared prefix stays shared.
// Characters outside the alphabet count as a space. Remainders are kept non-negative, so
// the output stays within the alphabet whatever bytes the keyword holds.
std::string VornCore::ScrambleTxt(const std::string& s) {
    const char* p = s.c_str();
    std::string out(std::strlen(p), ' ');
    int acc = 0;
    for (std::size_t i = 0; i < out.size(); i++) {
        int v = static_cast<signed char>(p[i]) - ScrambleFirstChar;
        if (v < 0 || v >= ScrambleAlphabet) v = 0;
        acc = (GameScramble[i % ScrambleTableSize] + acc) % ScrambleAlphabet;
        if (acc < 0) acc += ScrambleAlphabet;
        out[i] = static_cast<char>((v + acc) % ScrambleAlphabet + ScrambleFirstChar);
    }
    return out;
}

// The game never reads a scrambled text back; the score server does that.
std::string VornCore::UnscrambleTxt(const std::string&) { return "I haven't coded this bit yet!"; }
