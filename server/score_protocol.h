// Constants of the score exchange between the game and this server: the game
// it knows, the layout of the request record and of the reply, and the limits
// the server enforces on what it reads.
#pragma once

#include <cstddef>

namespace scores {

// The one game this server serves: its number and its scramble keyword. The
// keyword is a secret shared with the game; it is never logged or sent.
constexpr int BrindlewickGameNum = 556;
constexpr char BrindlewickKeyword[] =
    "Steer thA loNGs craft pasTRes thehilLS to WIN B55 at TW7 coves";

// Request: "/Scores.php?Game=%04d&Score=<escaped scrambled record>".
constexpr char ScoresPath[] = "/Scores.php";
constexpr char GameParam[] = "Game";
constexpr char ScoreParam[] = "Score";

// Record: user id, name, "%04d{%04d{%04d{" (game, version, reason), then best
// and last of each board, then the tag; every field ends with the separator.
constexpr char FieldSeparator = '{';
constexpr int BoardCount = 3;
constexpr int RecordHeaderFields = 5;
constexpr int RecordFields = RecordHeaderFields + 2 * BoardCount + 1;
constexpr char RecordTag[] = "Vorn";
constexpr std::size_t MaxUserIdLength = 18;
constexpr std::size_t NameLength = 12;
constexpr std::size_t FourDigitField = 4;
constexpr std::size_t MaxScoreDigits = 10;
// The longest record the game can send is 118 characters.
constexpr std::size_t MaxRecordLength = 128;

// Reply: for each board a block of 22 fields, the tag first, then the board
// number, then five entries of name, score and two fields the game skips.
constexpr char ReplyTag[] = "OnlineScores";
constexpr int OnlineEntries = 5;
constexpr int ReplyFieldsPerBoard = 22;
constexpr int ReplyFieldsPerEntry = 4;
constexpr char ReplyOpen[] = "[-\r\nData-]";
constexpr char ReplyClose[] = "[-\r\nEnd-]";
// The game keeps at most this many payload characters.
constexpr std::size_t MaxReplyPayload = 1023;

// Requests whose request line is longer than this are refused.
constexpr std::size_t MaxRequestLine = 4096;

}  // namespace scores
