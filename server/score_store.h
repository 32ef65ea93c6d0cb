// The score database: each player's best score per board and latest name,
// kept in SQLite (WAL mode, busy timeout). One connection serves all request
// threads; every submission is one transaction, committed before it returns.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "score_record.h"
#include "score_reply.h"

struct sqlite3;
struct sqlite3_stmt;

namespace scores {

class ScoreStore {
 public:
  ScoreStore();
  ~ScoreStore();
  ScoreStore(const ScoreStore&) = delete;
  ScoreStore& operator=(const ScoreStore&) = delete;

  // Opens or creates the database file and its tables.
  bool Open(const std::string& path, std::string& error);
  void Close();

  // Records the player's latest name and, for every board whose best is above
  // 0, the best if it beats the stored one; then reads the top five of every
  // board into `top`. All of it commits together or not at all.
  bool Submit(const ScoreRecord& record, OnlineBoards& top, std::string& error);

  // Asked inside the submission's transaction when its user id is not in the
  // store yet: `allows` false refuses the submission; `added` is told once
  // that new player is committed, and not when anything fails. Both run under
  // the store's lock, so no other submission comes between them.
  struct NewPlayerGate {
    std::function<bool()> allows;
    std::function<void()> added;
  };
  enum class SubmitResult { Stored, Refused, Failed };

  // Submit as above, but a player the store does not know is added only when
  // `admitNew` allows it (a gate without `allows` admits everyone); a refused
  // submission stores nothing.
  SubmitResult Submit(const ScoreRecord& record, const NewPlayerGate& admitNew,
                      OnlineBoards& top, std::string& error);

 private:
  struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const;
  };
  using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

  bool Exec(const char* sql, std::string& error);
  bool Prepare(const char* sql, Statement& statement, std::string& error);
  bool SubmitLocked(const ScoreRecord& record, OnlineBoards& top, std::string& error);
  // Whether the player is in the store; false with `error` set on failure.
  bool KnownPlayer(const ScoreRecord& record, bool& known, std::string& error);
  std::string LastError() const;
  bool ReadLastAchieved(std::string& error);
  // Finalises the statements and closes the connection; the caller holds the lock.
  void Release();

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  long long lastAchieved_ = 0;
  Statement begin_, commit_, rollback_, upsertPlayer_, upsertScore_, selectTop_,
      selectPlayer_;
};

}  // namespace scores
