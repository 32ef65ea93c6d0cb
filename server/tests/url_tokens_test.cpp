// The game's token escaping of the request path and the server's reading of
// it: the table, pass-through characters, and what counts as a bad escape.
#include <gtest/gtest.h>

#include <string>

#include "url_tokens.h"

namespace scores {
namespace {

TEST(UrlTokens, EscapesEachTableCharacter) {
  struct Case {
    char character;
    const char* token;
  };
  const Case cases[] = {
      {'&', "*!A!*"}, {'\\', "*!B!*"}, {'\'', "*!C!*"}, {'`', "*!D!*"}, {'"', "*!E!*"},
      {'/', "*!F!*"}, {'>', "*!G!*"},  {'#', "*!H!*"},  {'^', "*!I!*"}, {'{', "*!J!*"},
      {'}', "*!K!*"}, {'<', "*!L!*"},  {'|', "*!M!*"},  {'%', "*!P!*"}, {'?', "*!Q!*"},
      {'+', "*!R!*"}, {'$', "*!S!*"},  {',', "*!T!*"},  {' ', "*!U!*"},
  };
  for (const Case& c : cases) {
    const std::string text(1, c.character);
    EXPECT_EQ(EscapeTokens(text), c.token) << c.character;
    std::string plain;
    ASSERT_TRUE(UnescapeTokens(c.token, plain)) << c.token;
    EXPECT_EQ(plain, text);
  }
}

TEST(UrlTokens, MixedTextEscapesAndPassesTheRestThrough) {
  EXPECT_EQ(EscapeTokens("a b&c"), "a*!U!*b*!A!*c");
  EXPECT_EQ(EscapeTokens("=:!*[]\t\n"), "=:!*[]\t\n");
  EXPECT_EQ(EscapeTokens("a\x80\xff" "b"), "ab");
  EXPECT_EQ(EscapeTokens(std::string("ab\0cd", 5)), "ab");
}

TEST(UrlTokens, EveryCharacterTheGameCanSendRoundTrips) {
  std::string text;
  for (int c = 1; c < 128; c++) text += static_cast<char>(c);
  std::string plain;
  ASSERT_TRUE(UnescapeTokens(EscapeTokens(text), plain));
  EXPECT_EQ(plain, text);
}

TEST(UrlTokens, TokenLookalikesThatAreNotTokensStayText) {
  struct Case {
    const char* escaped;
    const char* plain;
  };
  const Case cases[] = {
      {"*!A!", "*!A!"}, {"*!a!*", "*!a!*"}, {"*!AA!*", "*!AA!*"}, {"**!A!*", "*&"},
      {"!*!U!*!", "! !"}, {"*!U!**!U!*", "  "},
  };
  for (const Case& c : cases) {
    std::string plain;
    ASSERT_TRUE(UnescapeTokens(c.escaped, plain)) << c.escaped;
    EXPECT_EQ(plain, c.plain) << c.escaped;
  }
}

TEST(UrlTokens, BadEscapesAreRefused) {
  const std::string cases[] = {
      "*!N!*",   "*!O!*",  "ab*!Z!*", "*!V!*cd", "a%20b", "a+b", "a/b",
      "a b",     "a,b",    "a?b",     "a#b",     "a{b",   "\x80", std::string("a\0b", 3),
  };
  for (const std::string& escaped : cases) {
    std::string plain;
    EXPECT_FALSE(UnescapeTokens(escaped, plain)) << escaped;
  }
}

}  // namespace
}  // namespace scores
