// Tests of the title, the keyword, the scramble table and the score-record scrambler:
// length, output alphabet, dependence on position only, and a pair worked out by hand.
#include <cstring>
#include <string>

#include "helpers_fixture.h"

class Scramble : public CoreHelpers {
protected:
    // Twelve words of letters and digits, like the game's own keyword (not the game's).
    const std::string keyword = "Tide9 moss Reef lantern Kelp4 drift Shoal ember 7wave Gull pearl Ox";
};

TEST_F(Scramble, TableIsBuiltFromKeywordAndGameNumber) {
    core->SetKeyword("Ab");
    // (i + key[i mod 2] + 556) mod 92 with 'A' = 65 and 'b' = 98.
    const int want[] = {69, 11, 71, 13, 73, 15};
    for (int i = 0; i < 6; i++) EXPECT_EQ(core->GameScramble[i], want[i]) << i;
    EXPECT_STREQ(core->GameKey, "Ab");
}

TEST_F(Scramble, TableKeepsItsContentsWithoutKeywordOrGameNumber) {
    EXPECT_EQ(core->ScrambleTxt("abc"), "abc");   // all-zero table before any keyword
    core->SetKeyword(keyword);
    signed char before[64];
    std::memcpy(before, core->GameScramble, sizeof before);
    core->SetKeyword("");
    EXPECT_EQ(std::memcmp(before, core->GameScramble, sizeof before), 0);
    core->SetKeyword("Other");
    core->GameNum = 0;
    core->SetKeyword(keyword);
    EXPECT_NE(std::memcmp(before, core->GameScramble, sizeof before), 0);   // still "Other"'s
    core->GameNum = TestGameNum;
    core->SetTitle("Brindlewick");   // a title change rebuilds it too
    EXPECT_EQ(std::memcmp(before, core->GameScramble, sizeof before), 0);
}

TEST_F(Scramble, KnownPairWorkedOutByHand) {
    core->SetKeyword("Ab");
    // Running sums 69, 80, 59, 72 shift 'H' 'i' '!' and '~' (outside the alphabet, a space).
    EXPECT_EQ(core->ScrambleTxt("Hi!~"), "1]\\h");
    EXPECT_EQ(core->ScrambleTxt("Hi! "), "1]\\h");
}

TEST_F(Scramble, OutputHasTheSameLengthAndStaysInTheAlphabet) {
    core->SetKeyword(keyword);
    std::string every;
    for (int b = 1; b < 256; b++) every += static_cast<char>(b);
    const std::string texts[] = {every, "", "x", std::string(300, '{'), "Vorn{12{34{"};
    for (const auto& t : texts) {
        const std::string out = core->ScrambleTxt(t);
        ASSERT_EQ(out.size(), t.size());
        for (char c : out) EXPECT_TRUE(c >= 32 && c <= 123) << static_cast<int>(c);
    }
}

TEST_F(Scramble, KeywordWithHighBytesStillGivesTheAlphabet) {
    core->GameNum = 1;   // small enough for table entries below 0
    core->SetKeyword("\xE9\xFF\x80 key");
    EXPECT_LT(core->GameScramble[0], 0);
    const std::string out = core->ScrambleTxt(std::string(200, 'a'));
    for (char c : out) EXPECT_TRUE(c >= 32 && c <= 123) << static_cast<int>(c);
}

TEST_F(Scramble, EachOutputCharacterDependsOnlyOnItsInputAndPosition) {
    core->SetKeyword(keyword);
    const std::string base = "Vorn{Easy{1234{Normal{99{";
    const std::string out = core->ScrambleTxt(base);
    EXPECT_EQ(core->ScrambleTxt(base), out);
    for (size_t k = 0; k < base.size(); k++) {
        std::string changed = base;
        changed[k] = changed[k] == 'Q' ? 'R' : 'Q';
        const std::string other = core->ScrambleTxt(changed);
        for (size_t i = 0; i < base.size(); i++) {
            if (i == k) EXPECT_NE(other[i], out[i]) << k;
            else EXPECT_EQ(other[i], out[i]) << k << " at " << i;
        }
    }
    EXPECT_EQ(core->ScrambleTxt(base.substr(0, 9)), out.substr(0, 9));   // shared prefix
}

TEST_F(Scramble, UnscrambleIsNotProvided) {
    core->SetKeyword(keyword);
    EXPECT_EQ(core->UnscrambleTxt(core->ScrambleTxt("abc")), "I haven't coded this bit yet!");
    EXPECT_EQ(core->UnscrambleTxt(""), "I haven't coded this bit yet!");
}

TEST_F(Scramble, TitleAndKeywordAreCutTo1023Characters) {
    const std::string longText(5000, 't');
    core->SetTitle(longText);
    EXPECT_EQ(core->GetTitle(), std::string(1023, 't'));
    core->SetKeyword(longText);
    EXPECT_EQ(std::strlen(core->GameKey), 1023u);
    core->SetTitle("Brindlewick");
    EXPECT_EQ(core->GetTitle(), "Brindlewick");
}
