// Reading a score submission: query parameters, token escapes, unscrambling,
// record checks, then storage and the reply. Nothing is stored unless every
// check passes.
#include "score_service.h"

#include "score_record.h"
#include "score_reply.h"
#include "url_tokens.h"

namespace scores {
namespace {

// "Game" and "Score", each exactly once and nothing else. The escaped record
// holds no '&' (the game sends it as a token), so '&' splits parameters.
bool SplitQuery(const std::string& query, std::string& game, std::string& score,
                std::string& reason) {
  bool haveGame = false, haveScore = false;
  if (query.empty()) {
    reason = "missing Game";
    return false;
  }
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string part = query.substr(start, end - start);
    const std::size_t eq = part.find('=');
    const std::string key = part.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : part.substr(eq + 1);
    if (eq != std::string::npos && key == GameParam && !haveGame) {
      game = value;
      haveGame = true;
    } else if (eq != std::string::npos && key == ScoreParam && !haveScore) {
      score = value;
      haveScore = true;
    } else {
      reason = (key == GameParam || key == ScoreParam) ? "repeated parameter"
                                                       : "unexpected parameter";
      return false;
    }
    start = end + 1;
  }
  if (!haveGame || !haveScore) {
    reason = haveGame ? "missing Score" : "missing Game";
    return false;
  }
  return true;
}

// The game number as the game writes it ("%04d"): 1..9 digits, nothing else.
bool ParseGameNumber(const std::string& text, int& game) {
  constexpr std::size_t MaxDigits = 9;
  if (text.empty() || text.size() > MaxDigits) return false;
  game = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    game = game * 10 + (c - '0');
  }
  return true;
}

}  // namespace

ScoreService::ScoreService(ScoreStore& store, int newPlayersPerMinute, NewPlayerLimit::Now now)
    : store_(store), newPlayers_(newPlayersPerMinute, std::move(now)) {
  Rescramble(BrindlewickKeyword, BrindlewickGameNum, table_);
}

ServiceReply ScoreService::Refuse(const std::string& reason, int status) const {
  return {status, reason + "\n", "refused: " + reason};
}

ServiceReply ScoreService::HandleScores(const std::string& query) {
  return HandleScores(query, std::string());
}

ServiceReply ScoreService::HandleScores(const std::string& query,
                                        const std::string& clientAddress) {
  // An escaped character takes at most one token, so a longer value cannot
  // hold a record the game could send; refusing it early bounds later work.
  constexpr std::size_t EscapedRecordLimit = EscapeTokenLength * MaxRecordLength;
  std::string gameText, escaped, reason;
  if (!SplitQuery(query, gameText, escaped, reason)) return Refuse(reason);

  int game = 0;
  if (!ParseGameNumber(gameText, game)) return Refuse("bad game number");
  if (game != BrindlewickGameNum) return Refuse("unknown game");
  if (escaped.size() > EscapedRecordLimit) return Refuse("record too long");

  std::string scrambled, text;
  if (!UnescapeTokens(escaped, scrambled)) return Refuse("bad escape");
  if (scrambled.size() > MaxRecordLength) return Refuse("record too long");
  if (!UnscrambleTxt(table_, scrambled, text)) return Refuse("bad character");

  ScoreRecord record;
  if (!ParseScoreRecord(text, record, reason)) return Refuse(reason);
  if (record.game != game) return Refuse("game number mismatch");

  // Only a player the store does not know yet counts against the address,
  // and only once it is stored. The table's upkeep and the address's key are
  // done here, before the store's lock; under it only the address's own
  // check and count run.
  ScoreStore::NewPlayerGate admitNew;
  std::string limitKey;
  if (newPlayers_.Enabled() && !clientAddress.empty()) {
    newPlayers_.Expire();
    limitKey = LimitKey(clientAddress);
    admitNew.allows = [this, &limitKey] { return newPlayers_.Allows(limitKey); };
    admitNew.added = [this, &limitKey] { newPlayers_.Count(limitKey); };
  }
  OnlineBoards top;
  std::string error;
  switch (store_.Submit(record, admitNew, top, error)) {
    case ScoreStore::SubmitResult::Stored: break;
    case ScoreStore::SubmitResult::Refused:
      return Refuse("too many new players from this address", StatusTooManyRequests);
    case ScoreStore::SubmitResult::Failed:
      return {StatusServerError, "storage error\n", "storage error: " + error};
    case ScoreStore::SubmitResult::Stopping:
      return Refuse("server stopping", StatusServiceUnavailable);
  }

  std::string line = "stored '" + record.name + "' (" + record.userId + "):";
  for (const BoardScores& board : record.boards) line += " " + std::to_string(board.best);
  return {StatusOk, FrameReply(FormatScoreReply(top)), line};
}

}  // namespace scores
