// Tests of the core's text helpers: the Tempstr ring, number conversions, the Char64 and
// six-letter codes, substrings, padding, trimming, fields, the checksum and the packer.
#include <climits>
#include <functional>
#include <string>

#include "helpers_fixture.h"

using Strings = CoreHelpers;

TEST_F(Strings, RingCyclesThroughThirtyBuffersStartingAtOne) {
    core->fstr("a");
    EXPECT_EQ(TempstrUse, 1);
    for (int i = 0; i < 28; i++) core->tstr("b");
    EXPECT_EQ(TempstrUse, 29);
    core->fstr("c");
    EXPECT_EQ(TempstrUse, 0);
    core->fstr("d");
    EXPECT_EQ(TempstrUse, 1);
}

TEST_F(Strings, FstrResultSurvivesTwentyNineUsesAndTheThirtiethReplacesIt) {
    const char* kept = core->fstr("%s %d", "kept", 7);
    for (int i = 1; i <= 29; i++) core->fstr("use %d", i);
    EXPECT_STREQ(kept, "kept 7");
    core->fstr("the thirtieth");
    EXPECT_STREQ(kept, "the thirtieth");
}

TEST_F(Strings, EachHelperTakesItsShareOfTheRing) {
    struct Case {
        const char* name;
        std::function<void(VornCore&)> call;
        int buffers;
    };
    const Case cases[] = {
        {"fstr", [](VornCore& c) { c.fstr("x"); }, 1},
        {"tstr", [](VornCore& c) { c.tstr("x"); }, 1},
        {"nth", [](VornCore& c) { c.nth(3); }, 1},
        {"Hex", [](VornCore& c) { c.Hex(255); }, 1},
        {"Bin", [](VornCore& c) { c.Bin(5); }, 1},
        {"Left", [](VornCore& c) { c.Left("abc", 2); }, 1},
        {"Mid", [](VornCore& c) { c.Mid("abc", 1, 1); }, 1},
        {"Right", [](VornCore& c) { c.Right("abc", 1); }, 1},
        {"Trim", [](VornCore& c) { c.Trim(" a "); }, 1},
        {"Strip", [](VornCore& c) { c.Strip(" a "); }, 1},
        {"iniLeft", [](VornCore& c) { c.iniLeft("a=b"); }, 1},
        {"iniRight", [](VornCore& c) { c.iniRight("a=b"); }, 1},
        {"Split", [](VornCore& c) { c.Split("a|b", '|', 2); }, 1},
        {"LeftPad", [](VornCore& c) { c.LeftPad("ab", 5, '.'); }, 3},
        {"RightPad", [](VornCore& c) { c.RightPad("ab", 5, '.'); }, 3},
        {"Tovcrunch", [](VornCore& c) { c.Tovcrunch("aab"); }, 0},
        {"Checksum", [](VornCore& c) { c.Checksum("abc"); }, 0},
    };
    for (const auto& c : cases) {
        TempstrUse = 0;
        c.call(*core);
        EXPECT_EQ(TempstrUse, c.buffers) << c.name;
    }
}

TEST_F(Strings, FormattedTextTooLongForABufferIsCutNotOverflowed) {
    const std::string big(3 * TempstrSize, 'x');
    const char* cut = core->fstr("%s", big.c_str());
    EXPECT_EQ(std::string(cut), std::string(TempstrSize - 1, 'x'));
    EXPECT_EQ(core->tstr("%s!", big.c_str()), TempstrSize - 1);
    EXPECT_EQ(core->Left(big, -1).size(), static_cast<size_t>(TempstrSize - 1));
    EXPECT_EQ(core->Strip(big).size(), static_cast<size_t>(TempstrSize - 1));
    // The buffer after the one written keeps its contents.
    TempstrUse = 0;
    core->Tempstr[2][0] = 'q';
    core->fstr("%s", big.c_str());
    EXPECT_EQ(core->Tempstr[1][TempstrSize - 1], '\0');
    EXPECT_EQ(core->Tempstr[2][0], 'q');
}

TEST_F(Strings, OrdinalSuffixes) {
    struct Case { int n; const char* text; };
    const Case cases[] = {{1, "1st"},     {2, "2nd"},     {3, "3rd"},   {4, "4th"},
                          {11, "11th"},   {12, "12th"},   {13, "13th"}, {21, "21st"},
                          {22, "22nd"},   {23, "23rd"},   {101, "101st"}, {111, "111st"},
                          {0, "0th"},     {-1, "-1th"}};
    for (const auto& c : cases) EXPECT_STREQ(core->nth(c.n), c.text) << c.n;
}

TEST_F(Strings, NumbersAsTextAndBack) {
    EXPECT_EQ(core->Hex(255), "FF");
    EXPECT_EQ(core->Hex(-1), "FFFFFFFF");
    EXPECT_EQ(core->Bin(5), "5");
    EXPECT_EQ(core->Bin(-1), "4294967295");

    struct Case { int (VornCore::*read)(const std::string&); const char* text; int value; };
    const Case cases[] = {
        {&VornCore::HexToInt, "ff", 255},
        {&VornCore::HexToInt, "  0x1A", 26},
        {&VornCore::HexToInt, "-10", -16},
        {&VornCore::HexToInt, "7fg", 127},
        {&VornCore::HexToInt, "FFFFFFFFFF", INT_MAX},
        {&VornCore::HexToInt, "-FFFFFFFFFF", INT_MIN},
        {&VornCore::HexToInt, "zz", 0},
        {&VornCore::BinToInt, "101", 5},
        {&VornCore::BinToInt, "5", 0},
        {&VornCore::StrToInt, " 42abc", 42},
        {&VornCore::StrToInt, "-17", -17},
        {&VornCore::StrToInt, "99999999999", INT_MAX},
        {&VornCore::StrToInt, "word", 0},
        {&VornCore::ToInt, "123", 123},
    };
    for (const auto& c : cases) EXPECT_EQ(((*core).*c.read)(c.text), c.value) << c.text;
    EXPECT_EQ(core->BinToInt(core->Bin(1)), 1);
    EXPECT_NE(core->BinToInt(core->Bin(5)), 5);
}

TEST_F(Strings, Char64RoundTripForAllSymbols) {
    const std::string symbols = "_-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    for (int n = 0; n < 64; n++) {
        EXPECT_EQ(core->Char64(n), symbols[n]) << n;
        EXPECT_EQ(core->Int64(core->Char64(n)), n) << n;
        EXPECT_EQ(core->Char64b(n), n == 0 ? ' ' : symbols[n]) << n;
        EXPECT_EQ(core->Char64(n + 64), symbols[n]) << n;
        EXPECT_EQ(core->Char64(n - 64), symbols[n]) << n;
    }
}

TEST_F(Strings, Char64SpecialInputs) {
    EXPECT_EQ(core->Char64(-1), 'z');
    EXPECT_EQ(core->Char64(INT_MIN), '_');
    EXPECT_EQ(core->Char64b(64), ' ');
    EXPECT_EQ(core->Char64b(-63), '-');
    struct Case { char c; int value; };
    const Case cases[] = {{'.', 0}, {'/', 1}, {' ', 50}, {'_', 0}, {'-', 1}, {'z', 63},
                          {'\0', 18}, {static_cast<char>(0xFF), 17}, {'{', 0}, {':', 5}};
    for (const auto& c : cases) {
        EXPECT_EQ(core->Int64(c.c), c.value) << static_cast<int>(c.c);
        EXPECT_GE(core->Int64(c.c), 0);
    }
    for (int b = -128; b < 128; b++) {
        const int v = core->Int64(static_cast<char>(b));
        EXPECT_TRUE(v >= 0 && v < 64) << b;
    }
}

TEST_F(Strings, FourSymbolCodeRoundTrip) {
    struct Case { long n; const char* text; int back; };
    const Case cases[] = {{0, "____", 0},
                          {1000, "cD__", 1000},
                          {16777215, "zzzz", 16777215},
                          {-1, "zzzz", 16777215},
                          {1 << 24, "____", 0},
                          {63 + (5L << 18), "z__3", 63 + (5 << 18)}};
    for (const auto& c : cases) {
        EXPECT_EQ(core->Char64x4(c.n), c.text) << c.n;
        EXPECT_EQ(core->Int64x4(c.text), c.back) << c.n;
    }
}

TEST_F(Strings, FourSymbolReadStopsAtTheEndOfAShortText) {
    EXPECT_EQ(core->Int64x4("c"), 40);
    EXPECT_EQ(core->Int64x4("cD"), 1000);
    EXPECT_EQ(core->Int64x4(""), 0);
    EXPECT_EQ(core->Int64x4(nullptr), 0);
    EXPECT_EQ(core->Int64x4("cD__zzzz"), 1000);
}

TEST_F(Strings, SixLetterCodeBothWays) {
    const int zebra = 26 * (1 << 25) + 5 * (1 << 20) + 2 * (1 << 15) + 18 * (1 << 10) + 1 * (1 << 5);
    struct Case { const char* text; int value; const char* letters; };
    const Case cases[] = {
        {"ABC", 35749888, "ABC   "},
        {"abc", 35749888, "ABC   "},
        {"Zebra!", zebra, "ZEBRA "},
        {"", 0, "      "},
        {"A1B", (1 << 25) + (2 << 15), "A B   "},
        {"ABCDEFGH", 35754150, "ABCDEF"},
        {"[`@{", 0, "      "},
    };
    for (const auto& c : cases) {
        const int value = core->SixDigitString(std::string(c.text));
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(core->SixDigitString(static_cast<long>(value)), c.letters) << c.text;
    }
}

TEST_F(Strings, SixLetterGroupsOutsideTheAlphabetAndHighBitsAreBlanks) {
    const long ab = core->SixDigitString(std::string("AB"));
    EXPECT_EQ(core->SixDigitString(ab | (3L << 30)), "AB    ");   // bits 30, 31 not shown
    EXPECT_EQ(core->SixDigitString(27L << 25), "      ");
    EXPECT_EQ(core->SixDigitString(-1L), "      ");                 // every group is 31
    EXPECT_EQ(core->SixDigitString(ab, 26L), "AB    " "     Z");
    EXPECT_EQ(core->SixDigitString(1L, 2L, 3L), "     A" "     B" "     C");
}

TEST_F(Strings, CuttingWithCountsAndPositionsInAndOutOfRange) {
    struct Case { std::string got; const char* want; };
    const Case cases[] = {
        {core->Left("hello", 2), "he"},
        {core->Left("hello", 9), "hello"},
        {core->Left("hello", -1), "hello"},
        {core->Left("hello", 0), ""},
        {core->Mid("hello", 1, 3), "ell"},
        {core->Mid("hello", 2, 99), "llo"},
        {core->Mid("hello", 2, -1), "llo"},
        {core->Mid("hello", 5, 2), ""},
        {core->Mid("hello", 9, 2), ""},       // start past the end: empty
        {core->Mid("hello", -3, 2), "he"},    // start before the text: from 0
        {core->Right("hello", 2), "lo"},
        {core->Right("hello", 5), "hello"},
        {core->Right("hello", 0), ""},
        {core->Right("hello", 9), "hello"},   // more than there is: all of it
        {core->Right("hello", -2), ""},       // negative: nothing
        {core->Right("", 3), ""},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
    }
}

TEST_F(Strings, PaddingFillsCutsAndStaysWithinItsLimit) {
    struct Case { std::string got; std::string want; };
    const std::string longText(1500, 'q');
    const Case cases[] = {
        {core->LeftPad("ab", 5, '.'), "ab..."},
        {core->RightPad("ab", 5, '.'), "...ab"},
        {core->LeftPad("abcdef", 3, '.'), "abc"},
        {core->RightPad("abcdef", 3, '.'), "def"},
        {core->LeftPad("ab", 0, '.'), ""},
        {core->LeftPad("", 4, '0'), "0000"},
        {core->RightPad("7", 3, '0'), "007"},
        // The width is cut so text and fill stay within 1,023 characters.
        {core->LeftPad("ab", 5000, '.'), "ab" + std::string(1019, '.')},
        {core->RightPad("ab", 5000, '.'), std::string(1019, '.') + "ab"},
        // A text longer than that gets no fill and is only cut.
        {core->LeftPad(longText + "x", 4, '.'), "qqqq"},
        {core->RightPad("x" + longText, 4, '.'), "qqqq"},
        {core->LeftPad(longText, 2000, '.'), longText},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
    }
}

TEST_F(Strings, TrimDropsControlsBlanksAndHighBytesAtTheEndsOnly) {
    struct Case { std::string text; std::string want; };
    const Case cases[] = {
        {"  a b  ", "a b"},
        {"     ", ""},
        {"", ""},
        {"\t\r\nword\n", "word"},
        {"\xA0\xE9 caf\xE9 au lait\xFF", "caf\xE9 au lait"},
        {"\x80\x81\xFE", ""},
        {"x", "x"},
    };
    for (const auto& c : cases) EXPECT_EQ(core->Trim(c.text), c.want) << c.text;
    EXPECT_EQ(core->Strip(" a  b\tc "), "ab\tc");
    EXPECT_EQ(core->Strip("   "), "");
}

TEST_F(Strings, KeyAndValueAtTheFirstEquals) {
    struct Case { const char* text; const char* left; const char* right; };
    const Case cases[] = {{"volume=7", "volume", "7"},
                          {"a=b=c", "a", "b=c"},
                          {"=x", "", "x"},
                          {"key=", "key", ""},
                          {"none", NotFound, NotFound},
                          {"", NotFound, NotFound}};
    for (const auto& c : cases) {
        EXPECT_EQ(core->iniLeft(c.text), c.left) << c.text;
        EXPECT_EQ(core->iniRight(c.text), c.right) << c.text;
    }
}

TEST_F(Strings, SplitFieldsWithEmptyMissingAndEndFields) {
    struct Case { const char* text; int n; const char* field; };
    const Case cases[] = {
        {"Easy|Normal|Hard", 1, "Easy"},
        {"Easy|Normal|Hard", 2, "Normal"},
        {"Easy|Normal|Hard", 3, "Hard"},
        {"Easy|Normal|Hard", 4, NotFound},
        {"Easy|Normal|Hard", 0, NotFound},
        {"Easy|Normal|Hard", -1, NotFound},
        {"", 1, NotFound},
        {"a||b", 2, ""},
        {"a||b", 3, "b"},
        {"a|b|", 2, "b"},
        {"a|b|", 3, NotFound},     // a trailing separator opens no empty field
        {"|a", 1, ""},
        {"|a", 2, "a"},
        {"|", 1, ""},
        {"|", 2, NotFound},
        {"x", 1, "x"},
        {"one", 1, "one"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(core->Split(c.text, '|', c.n), c.field) << c.text << " field " << c.n;
    }
    struct Count { const char* text; int count; };
    const Count counts[] = {{"Easy|Normal|Hard", 3}, {"", 1}, {"a|b|", 3}, {"||", 3}, {"abc", 1}};
    for (const auto& c : counts) EXPECT_EQ(core->SplitCount(c.text, '|'), c.count) << c.text;
}

TEST_F(Strings, ChecksumValues) {
    struct Case { std::string text; int seed; int sum; };
    const Case cases[] = {
        {"abc", 556, 757},
        {"abc", 0, 3530},
        {"", 556, 0},
        {"\xFF", 0, 3521},                       // bytes above 127 count negative
        {"Brindlewick \xE9t\xE9", 556, 173},
        {std::string("ab\0cd", 5), 0, 2243},     // up to the first NUL
    };
    for (const auto& c : cases) EXPECT_EQ(core->Checksum(c.text, c.seed), c.sum) << c.text;
    EXPECT_EQ(core->Checksum("abc"), 757);   // seeded with the game number
    const std::string big(100000, '\x7F');
    const int sum = core->Checksum(big, 2000000000);
    EXPECT_TRUE(sum >= 0 && sum < 3717);
}

TEST_F(Strings, PackerExamplesAndRoundTrip) {
    EXPECT_EQ(core->Tovcrunch("aaab"), "CaAb");
    EXPECT_EQ(core->Tovcrunch(std::string(60, 'x')), "zxHx");
    EXPECT_EQ(core->Tovcrunch(std::string(52, 'x')), "zx");
    EXPECT_EQ(core->Tovcrunch(std::string(27, 'x')), "ax");
    EXPECT_EQ(core->Tovcrunch("abcdefghij"), "AaAbAcAdAeAfAgAhAiAj");
    EXPECT_EQ(core->Tovcrunch("abcdefghijk"), "AaAbAcAdAeAfAgAhAiAj Ak");
    EXPECT_EQ(core->Tovcrunch(""), "");
    EXPECT_EQ(core->Tovucrunch("Ca Bb"), "aaabb");
    EXPECT_EQ(core->Tovucrunch(""), "");
    EXPECT_EQ(core->Tovucrunch("CaB"), "aaa");   // a count with no character adds nothing

    const std::string texts[] = {
        "aaab", std::string(60, 'x'), "abcdefghijkl", "  spaced  out  ", "Hello, World!!!",
        std::string(200, '7') + "ab" + std::string(30, ' '), "AAAA||||zzzz", "x",
        "\xE9\xE9\xFFz", ""};
    for (const auto& t : texts) EXPECT_EQ(core->Tovucrunch(core->Tovcrunch(t)), t) << t;
}
