// Reading and checking the game's score record: a table of accepted and
// refused records with the reason each refusal gives.
#include <gtest/gtest.h>

#include <string>

#include "score_record.h"

namespace scores {
namespace {

const char ValidRecord[] = "JBAAFCBDEAG{Mia-Vo 2024 {0556{0001{0000{120{1{0{0{35{7{Vorn{";

TEST(ScoreRecord, ReadsTheGameLayout) {
  ScoreRecord record;
  std::string error;
  ASSERT_TRUE(ParseScoreRecord(ValidRecord, record, error)) << error;
  EXPECT_EQ(record.userId, "JBAAFCBDEAG");
  EXPECT_EQ(record.name, "Mia-Vo 2024 ");
  EXPECT_EQ(record.game, 556);
  EXPECT_EQ(record.version, 1);
  EXPECT_EQ(record.reason, 0);
  EXPECT_EQ(record.boards[0].best, 120);
  EXPECT_EQ(record.boards[0].last, 1);
  EXPECT_EQ(record.boards[1].best, 0);
  EXPECT_EQ(record.boards[2].best, 35);
  EXPECT_EQ(record.boards[2].last, 7);
  EXPECT_EQ(FormatScoreRecord(record), ValidRecord);
}

TEST(ScoreRecord, AcceptsAndRefusesAsTheTableSays) {
  struct Case {
    const char* text;
    const char* error;  // nullptr: accepted
  };
  const std::string longRecord = std::string(200, 'A') + "{";
  const Case cases[] = {
      {ValidRecord, nullptr},
      {"ABCDEFGHIJKLMNOPQR{zzzzzzzzzzzz{0556{9999{9999{2147483647{2147483647{1{1{0{0{Vorn{",
       nullptr},
      {"A B{-           {0556{0001{0000{0{0{0{0{0{0{Vorn{", nullptr},
      {longRecord.c_str(), "record too long"},
      {"", "malformed record"},
      {"ABC{Mia         {0556{0001{0000{1{1{0{0{0{0{Vorn", "malformed record"},
      {"ABC{Mia         {0556{0001{0000{1{1{0{0{0{Vorn{", "malformed record"},
      {"ABC{Mia         {0556{0001{0000{1{1{0{0{0{0{0{Vorn{", "malformed record"},
      {"ABC{Mia         {0556{0001{0000{1{1{0{0{0{0{Vorx{", "wrong tag"},
      {"ABC{Mia         {0556{0001{0000{1{1{0{0{0{0{vorn{", "wrong tag"},
      {"{Mia         {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad user id"},
      {"   {Mia         {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad user id"},
      {"AB1{Mia         {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad user id"},
      {"abc{Mia         {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad user id"},
      {"ABCDEFGHIJKLMNOPQRS{Mia         {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad user id"},
      {"ABC{Mia        {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad name"},
      {"ABC{Mia          {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad name"},
      {"ABC{Mia_Vo      {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad name"},
      {"ABC{            {0556{0001{0000{1{1{0{0{0{0{Vorn{", "bad name"},
      {"ABC{Mia         {556{0001{0000{1{1{0{0{0{0{Vorn{", "bad game number"},
      {"ABC{Mia         {05x6{0001{0000{1{1{0{0{0{0{Vorn{", "bad game number"},
      {"ABC{Mia         {0556{1{0000{1{1{0{0{0{0{Vorn{", "bad version"},
      {"ABC{Mia         {0556{0001{-001{1{1{0{0{0{0{Vorn{", "bad reason"},
      {"ABC{Mia         {0556{0001{0000{12a{1{0{0{0{0{Vorn{", "bad score"},
      {"ABC{Mia         {0556{0001{0000{1{{0{0{0{0{Vorn{", "bad score"},
      {"ABC{Mia         {0556{0001{0000{-5{1{0{0{0{0{Vorn{", "bad score"},
      {"ABC{Mia         {0556{0001{0000{+5{1{0{0{0{0{Vorn{", "bad score"},
      {"ABC{Mia         {0556{0001{0000{007{1{0{0{0{0{Vorn{", "bad score"},
      {"ABC{Mia         {0556{0001{0000{2147483648{1{0{0{0{0{Vorn{", "bad score"},
      {"ABC{Mia         {0556{0001{0000{1{1{0{0{0{99999999999{Vorn{", "bad score"},
  };
  for (const Case& c : cases) {
    ScoreRecord record;
    std::string error;
    const bool ok = ParseScoreRecord(c.text, record, error);
    if (c.error) {
      EXPECT_FALSE(ok) << c.text;
      EXPECT_EQ(error, c.error) << c.text;
    } else {
      EXPECT_TRUE(ok) << c.text << ": " << error;
    }
  }
}

TEST(ScoreRecord, NameAlphabetIsTheSixtyFourSymbols) {
  int symbols = 0;
  for (int c = 0; c < 256; c++) symbols += IsNameSymbol(static_cast<char>(c)) ? 1 : 0;
  EXPECT_EQ(symbols, 64);
  EXPECT_TRUE(IsNameSymbol(' '));
  EXPECT_TRUE(IsNameSymbol('-'));
  EXPECT_FALSE(IsNameSymbol('_'));
}

}  // namespace
}  // namespace scores
