// Scrambling of the score record: the server's inverse against a reference
// scrambler written here from the game's algorithm, for every record form the
// game sends; and the form of the shared random-number table.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "scramble.h"
#include "scramble_table.h"
#include "score_protocol.h"
#include "url_tokens.h"

namespace scores {
namespace {

// The game's scramble, written out independently of the server's code.
struct ReferenceScrambler {
  int table[64];
  ReferenceScrambler(const std::string& key, int game) {
    for (int i = 0; i < 64; i++)
      table[i] = (i + static_cast<signed char>(key[i % key.size()]) + game) % 92;
  }
  std::string Scramble(const std::string& s) const {
    std::string out;
    int acc = 0;
    for (std::size_t i = 0; i < s.size(); i++) {
      int v = static_cast<signed char>(s[i]) - 32;
      if (v < 0 || v > 91) v = 0;
      acc = (table[i % 64] + acc) % 92;
      out += static_cast<char>((v + acc) % 92 + 32);
    }
    return out;
  }
};

const ReferenceScrambler& GameScrambler() {
  static const ReferenceScrambler reference(BrindlewickKeyword, BrindlewickGameNum);
  return reference;
}

ScrambleTable ServerTable() {
  ScrambleTable table{};
  EXPECT_TRUE(Rescramble(BrindlewickKeyword, BrindlewickGameNum, table));
  return table;
}

// Record texts as the game builds them: "%s{%s{%04d{%04d{%04d{" and per
// board "%d{%d{", then "Vorn{".
std::string GameRecordText(const std::string& id, const std::string& name,
                           const std::vector<int>& numbers) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "%s{%s{%04d{%04d{%04d{%d{%d{%d{%d{%d{%d{Vorn{",
                id.c_str(), name.c_str(), 556, 1, 0, numbers[0], numbers[1], numbers[2],
                numbers[3], numbers[4], numbers[5]);
  return buffer;
}

TEST(Scramble, TableFollowsKeywordAndGameNumber) {
  const ScrambleTable table = ServerTable();
  for (int i = 0; i < ScrambleTableSize; i++) {
    EXPECT_EQ(table[i], GameScrambler().table[i]) << "entry " << i;
    EXPECT_GE(table[i], 0);
    EXPECT_LT(table[i], ScrambleAlphabet);
  }
}

TEST(Scramble, HandWorkedExample) {
  // Entry 0: ('S' 83 + 556) mod 92 = 87; entry 1: (1 + 't' 116 + 556) mod 92 = 29.
  // 'A' (33) + 87 = 120 -> 28 -> '<'; 'B' (34) + (87 + 29) mod 92 = 58 -> 'Z'.
  EXPECT_EQ(ScrambleTxt(ServerTable(), "AB"), "<Z");
}

TEST(Scramble, RescrambleKeepsTheTableWithoutKeywordOrGame) {
  ScrambleTable table{};
  table.fill(7);
  EXPECT_FALSE(Rescramble("", BrindlewickGameNum, table));
  EXPECT_FALSE(Rescramble(BrindlewickKeyword, 0, table));
  for (signed char entry : table) EXPECT_EQ(entry, 7);
}

TEST(Scramble, InverseRoundTripsEveryRecordForm) {
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::string symbols =
      " -0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const std::vector<std::vector<int>> numberSets = {
      {0, 0, 0, 0, 0, 0},
      {120, 1, 0, 0, 0, 0},
      {1, 1, 9, 9, 10, 10},
      {2147483647, 2147483647, 99999, 12345, 100000000, 7},
  };
  const ScrambleTable table = ServerTable();
  int checked = 0;
  for (std::size_t idLength = 1; idLength <= MaxUserIdLength; idLength++) {
    const std::string id = letters.substr(idLength % 8, idLength);
    for (std::size_t n = 0; n < symbols.size(); n += NameLength) {
      std::string name = symbols.substr(n, NameLength);
      name.resize(NameLength, ' ');
      for (const auto& numbers : numberSets) {
        const std::string record = GameRecordText(id, name, numbers);
        const std::string scrambled = GameScrambler().Scramble(record);
        ASSERT_EQ(ScrambleTxt(table, record), scrambled) << record;
        std::string plain, unescaped;
        ASSERT_TRUE(UnscrambleTxt(table, scrambled, plain)) << record;
        EXPECT_EQ(plain, record);
        // The same through the escaping the request path carries.
        ASSERT_TRUE(UnescapeTokens(EscapeTokens(scrambled), unescaped)) << record;
        ASSERT_TRUE(UnscrambleTxt(table, unescaped, plain));
        EXPECT_EQ(plain, record);
        checked++;
      }
    }
  }
  EXPECT_EQ(checked, 18 * 6 * 4);
}

TEST(Scramble, InverseRoundTripsEveryCharacterAtEveryPosition) {
  const ScrambleTable table = ServerTable();
  for (int c = ScrambleFirstChar; c < ScrambleFirstChar + ScrambleAlphabet; c++) {
    const std::string text(MaxRecordLength, static_cast<char>(c));
    std::string plain;
    ASSERT_TRUE(UnscrambleTxt(table, ScrambleTxt(table, text), plain));
    EXPECT_EQ(plain, text) << "character " << c;
  }
}

TEST(Scramble, CharactersOutsideTheRangeScrambleAsSpaces) {
  const ScrambleTable table = ServerTable();
  EXPECT_EQ(ScrambleTxt(table, "a|b~c\x01"), ScrambleTxt(table, "a b c "));
  EXPECT_EQ(ScrambleTxt(table, std::string("ab\0cd", 5)), ScrambleTxt(table, "ab"));
}

TEST(Scramble, InverseRefusesCharactersTheScramblerNeverWrites) {
  const ScrambleTable table = ServerTable();
  const std::string cases[] = {"ab|", "~", "a\x1f", "\x80z", std::string("a\0b", 3)};
  for (const std::string& bad : cases) {
    std::string plain;
    EXPECT_FALSE(UnscrambleTxt(table, bad, plain)) << bad;
  }
}

TEST(RandomTable, HasSixtyFourCodesFourTimesEach) {
  const std::string text(jRand_Txt);
  ASSERT_EQ(text.size(), 256u);
  std::map<char, int> counts;
  for (char c : text) {
    EXPECT_GE(c, 48);
    EXPECT_LE(c, 112);
    counts[c]++;
  }
  EXPECT_EQ(counts.size(), 64u);
  for (const auto& [code, count] : counts) EXPECT_EQ(count, 4) << "code " << int(code);
}

TEST(RandomTable, IsTheDocumentedShuffle) {
  std::vector<char> codes;
  for (int c = 48; c <= 112; c++)
    if (c != '?')
      for (int k = 0; k < 4; k++) codes.push_back(static_cast<char>(c));
  uint32_t x = 556;
  for (int i = 255; i >= 1; i--) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    std::swap(codes[i], codes[x % static_cast<uint32_t>(i + 1)]);
  }
  EXPECT_EQ(std::string(codes.begin(), codes.end()), std::string(jRand_Txt));
}

}  // namespace
}  // namespace scores
