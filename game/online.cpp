// The online score exchange: the score record sent to the score server after a new best
// (and at launch and when the options close), and the server's top five of every board read
// back from its reply into OnlineName and OnlineScore.
#include "MyGame.h"

#include <algorithm>
#include <cstring>

namespace {

// The highest board whose entries still lie inside the tables (laid out like ScoreTable).
constexpr int MaxBoards = MyGame::ScoreEntries / MyGame::BoardStride - 1;

// The online name's twelve characters (packed by name entry).
constexpr unsigned NameLength = MyGame::NameLength;
static_assert(NameLength < MyGame::OnlineNameBytes, "an online name keeps its terminating zero");

// The record sent: every field followed by the separator; the tag ends it.
constexpr char FieldSeparator = '{';
constexpr const char* RecordTag = "Vorn";
constexpr const char* ScoresPath = "Scores.php?Game=%04d&Score=";

// The reply: one block of 22 fields per board, tagged in its first field, then the board
// number, then five entries of a name, a score and two fields not read.
constexpr const char* ReplyTag = "OnlineScores";
constexpr int ReplyFieldsPerBoard = 22;
constexpr int ReplyFieldsPerEntry = 4;
constexpr int ReplyFirstName = 3;   // field of entry 0's name within a block, from 1
// A reply this short or shorter is no answer (a failed or empty fetch).
constexpr std::size_t NoAnswerLength = 10;

}  // namespace

void MyGame::SendScores(int reason) {
    OnlineScoresValid = 0;
    if (!HasOnlineName()) return;   // no name, no request

    const int boards = std::clamp(BoardCount, 0, MaxBoards);
    std::string record = Strip(SixDigitString(Option[OptUserDate], Option[OptUserTime], Option[OptUserRand]));
    record += FieldSeparator;
    // The name field is always exactly twelve characters, spaces kept.
    record += LeftPad(ShowName(), NameLength, ' ');
    record += FieldSeparator;
    record += fstr("%04d{%04d{%04d{", GameNum, GameVersion, reason);
    for (int b = 1; b <= boards; b++) {
        const int best = ScoreTable[BoardStride * b];
        int last = ScoreTable[BoardStride * b + LastFive];
        // A board with a best but no newest score yet (its first run) sends 1 as the last.
        if (last == 0 && best > 0) last = 1;
        record += fstr("%d{%d{", best, last);
    }
    record += RecordTag;
    record += FieldSeparator;

    const std::string scrambled = ScrambleTxt(record);
    Debuglog("Sending Highscores");
    const std::string reply = GetURL(ScoreHost(), fstr(ScoresPath, GameNum), scrambled);
    if (reply.size() <= NoAnswerLength) return;

    for (int j = 0; j < boards; j++) {
        const int block = ReplyFieldsPerBoard * j;
        if (Split(reply, FieldSeparator, block + 1) != ReplyTag) continue;
        OnlineScoresValid = 1;
        for (int k = 0; k < BoardPlaces; k++) {
            const int e = BoardStride * (j + 1) + k;
            const int field = block + ReplyFirstName + ReplyFieldsPerEntry * k;
            // A missing field reads as "-=+=-" (and scores 0). A name fills at most its first
            // twelve bytes, zero after its end; the last four are never written, so every
            // name stays zero-terminated however long the reply's field.
            const std::string name = Split(reply, FieldSeparator, field);
            std::memset(OnlineName[e], 0, NameLength);
            std::memcpy(OnlineName[e], name.data(), std::min<std::size_t>(name.size(), NameLength));
            OnlineScore[e] = StrToInt(Split(reply, FieldSeparator, field + 1));
        }
    }
}
