// The score database: each player's best score per board and latest name,
// kept in SQLite (WAL mode, a busy wait with a time-out). One connection
// serves all request threads; every submission is one transaction,
// committed before it returns.
#pragma once

#include <atomic>
#include <chrono>
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
  using Clock = std::chrono::steady_clock;

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
  // Stopping: the store is stopping (StopBy) and the submission could not
  // be stored in time; nothing of it is stored.
  enum class SubmitResult { Stored, Refused, Failed, Stopping };

  // Submit as above, but a player the store does not know is added only when
  // `admitNew` allows it (a gate without `allows` admits everyone); a refused
  // submission stores nothing.
  SubmitResult Submit(const ScoreRecord& record, const NewPlayerGate& admitNew,
                      OnlineBoards& top, std::string& error);

  // Begins the stop: a submission waiting for a database that another
  // process holds waits until `deadline` at the most (not its own busy
  // time-out), and none begins after it; those end as Stopping. One deadline
  // for all, so a queue of requests cannot make the stop wait out a busy
  // time-out for each. A later call never moves the deadline back. Safe
  // from any thread, also while a submission waits.
  void StopBy(Clock::time_point deadline);

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
  // The busy handler: waits in short steps while another connection holds
  // the database, until the busy time-out or, once stopping, the stop's
  // deadline.
  static int BusyWait(void* store, int count);
  bool Stopping() const;
  bool PastStopDeadline() const;
  bool ReadLastAchieved(std::string& error);
  // Finalises the statements and closes the connection; the caller holds the lock.
  void Release();

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  long long lastAchieved_ = 0;
  Clock::time_point busySince_{};  // the start of the current busy wait
  // The stop's deadline on the steady clock; the largest value until StopBy.
  std::atomic<Clock::rep> stopBy_{Clock::duration::max().count()};
  Statement begin_, commit_, rollback_, upsertPlayer_, upsertScore_, selectTop_,
      selectPlayer_;
};

}  // namespace scores
