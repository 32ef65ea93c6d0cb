// SQLite storage of the online scoreboards. Ranking: higher score first, then
// the score reached earlier, then the user id, so equal scores keep a stable
// order.
#include "score_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

namespace scores {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds BusyTimeout = 5000ms;
// The pauses of a busy wait, longer as it goes on (SQLite's own busy
// time-out waits so); the last repeats. Each is cut short at the wait's end.
constexpr std::chrono::milliseconds BusySteps[] = {1ms,  2ms,  5ms,  10ms, 15ms, 20ms,
                                                   25ms, 25ms, 25ms, 50ms, 50ms, 100ms};

constexpr char SchemaSql[] =
    "CREATE TABLE IF NOT EXISTS players ("
    "  game INTEGER NOT NULL,"
    "  user_id TEXT NOT NULL,"
    "  name TEXT NOT NULL,"
    "  PRIMARY KEY (game, user_id)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS best_scores ("
    "  game INTEGER NOT NULL,"
    "  board INTEGER NOT NULL,"
    "  user_id TEXT NOT NULL,"
    "  score INTEGER NOT NULL,"
    "  achieved INTEGER NOT NULL,"
    "  PRIMARY KEY (game, board, user_id)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS best_scores_rank"
    "  ON best_scores (game, board, score DESC, achieved, user_id);";

constexpr char UpsertPlayerSql[] =
    "INSERT INTO players (game, user_id, name) VALUES (?1, ?2, ?3) "
    "ON CONFLICT (game, user_id) DO UPDATE SET name = excluded.name;";

constexpr char UpsertScoreSql[] =
    "INSERT INTO best_scores (game, board, user_id, score, achieved) "
    "VALUES (?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT (game, board, user_id) DO UPDATE "
    "SET score = excluded.score, achieved = excluded.achieved "
    "WHERE excluded.score > best_scores.score;";

constexpr char SelectTopSql[] =
    "SELECT p.name, s.score FROM best_scores s "
    "JOIN players p ON p.game = s.game AND p.user_id = s.user_id "
    "WHERE s.game = ?1 AND s.board = ?2 "
    "ORDER BY s.score DESC, s.achieved, s.user_id LIMIT ?3;";

constexpr char SelectPlayerSql[] =
    "SELECT 1 FROM players WHERE game = ?1 AND user_id = ?2;";

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Runs a statement that returns no rows, then resets it for the next use.
bool StepDone(sqlite3_stmt* statement) {
  const int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  return rc == SQLITE_DONE;
}

// Whether the connection's last failure was another connection holding the
// database (SQLITE_BUSY and its extended codes).
bool HeldElsewhere(sqlite3* db) { return (sqlite3_extended_errcode(db) & 0xff) == SQLITE_BUSY; }

}  // namespace

void ScoreStore::StatementDeleter::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

ScoreStore::ScoreStore() = default;

ScoreStore::~ScoreStore() { Close(); }

std::string ScoreStore::LastError() const {
  return db_ ? sqlite3_errmsg(db_) : "database not open";
}

bool ScoreStore::Exec(const char* sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message ? message : LastError();
  sqlite3_free(message);
  return false;
}

bool ScoreStore::Prepare(const char* sql, Statement& statement, std::string& error) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr) != SQLITE_OK) {
    error = LastError();
    return false;
  }
  statement.reset(raw);
  return true;
}

bool ScoreStore::Open(const std::string& path, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (db_) {
    error = "database already open";
    return false;
  }
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    error = LastError();
    Release();
    return false;
  }
  sqlite3_busy_handler(db_, &ScoreStore::BusyWait, this);

  bool ok = true;
  sqlite3_stmt* mode = nullptr;
  if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode=WAL;", -1, &mode, nullptr) != SQLITE_OK ||
      sqlite3_step(mode) != SQLITE_ROW) {
    error = LastError();
    ok = false;
  } else {
    const unsigned char* result = sqlite3_column_text(mode, 0);
    if (!result || std::string(reinterpret_cast<const char*>(result)) != "wal") {
      error = "cannot switch the database to WAL mode";
      ok = false;
    }
  }
  sqlite3_finalize(mode);

  ok = ok && Exec("PRAGMA synchronous=FULL;", error) && Exec(SchemaSql, error) &&
       Prepare("BEGIN IMMEDIATE;", begin_, error) && Prepare("COMMIT;", commit_, error) &&
       Prepare("ROLLBACK;", rollback_, error) &&
       Prepare(UpsertPlayerSql, upsertPlayer_, error) &&
       Prepare(UpsertScoreSql, upsertScore_, error) &&
       Prepare(SelectTopSql, selectTop_, error) &&
       Prepare(SelectPlayerSql, selectPlayer_, error);
  ok = ok && ReadLastAchieved(error);
  if (!ok) Release();
  return ok;
}

bool ScoreStore::ReadLastAchieved(std::string& error) {
  Statement latest;
  if (!Prepare("SELECT COALESCE(MAX(achieved), 0) FROM best_scores;", latest, error)) return false;
  if (sqlite3_step(latest.get()) != SQLITE_ROW) {
    error = LastError();
    return false;
  }
  lastAchieved_ = sqlite3_column_int64(latest.get(), 0);
  return true;
}

void ScoreStore::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  Release();
}

void ScoreStore::Release() {
  begin_.reset();
  commit_.reset();
  rollback_.reset();
  upsertPlayer_.reset();
  upsertScore_.reset();
  selectTop_.reset();
  selectPlayer_.reset();
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
}

void ScoreStore::StopBy(Clock::time_point deadline) {
  const Clock::rep wanted = deadline.time_since_epoch().count();
  Clock::rep current = stopBy_.load();
  while (wanted < current && !stopBy_.compare_exchange_weak(current, wanted)) {
  }
}

bool ScoreStore::Stopping() const {
  return stopBy_.load() != Clock::duration::max().count();
}

bool ScoreStore::PastStopDeadline() const {
  return Clock::now().time_since_epoch().count() >= stopBy_.load();
}

int ScoreStore::BusyWait(void* data, int count) {
  ScoreStore& store = *static_cast<ScoreStore*>(data);
  const Clock::time_point now = Clock::now();
  if (count == 0) store.busySince_ = now;
  // Once the stop has begun, its deadline alone ends the wait, so that a
  // request that was already waiting is stored or refused with the rest.
  const Clock::time_point end =
      store.Stopping() ? Clock::time_point(Clock::duration(store.stopBy_.load()))
                       : store.busySince_ + BusyTimeout;
  if (now >= end) return 0;
  const std::size_t step = std::min<std::size_t>(count, std::size(BusySteps) - 1);
  std::this_thread::sleep_for(std::min<Clock::duration>(BusySteps[step], end - now));
  return 1;
}

bool ScoreStore::Submit(const ScoreRecord& record, OnlineBoards& top, std::string& error) {
  return Submit(record, NewPlayerGate(), top, error) == SubmitResult::Stored;
}

ScoreStore::SubmitResult ScoreStore::Submit(const ScoreRecord& record,
                                            const NewPlayerGate& admitNew, OnlineBoards& top,
                                            std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) {
    error = "database not open";
    return SubmitResult::Failed;
  }
  if (PastStopDeadline()) return SubmitResult::Stopping;
  if (!StepDone(begin_.get())) {
    error = LastError();
    return Stopping() && HeldElsewhere(db_) ? SubmitResult::Stopping : SubmitResult::Failed;
  }
  // The check and the insert share the transaction and the lock, so two
  // requests for one new player cannot both pass as known.
  bool known = true;
  bool ok = !admitNew.allows || KnownPlayer(record, known, error);
  if (ok && !known && !admitNew.allows()) {
    StepDone(rollback_.get());
    return SubmitResult::Refused;
  }
  if (ok && SubmitLocked(record, top, error) && StepDone(commit_.get())) {
    if (!known && admitNew.added) admitNew.added();
    return SubmitResult::Stored;
  }
  if (error.empty()) error = LastError();
  const bool stopped = Stopping() && HeldElsewhere(db_);
  // A failed COMMIT may already have ended the transaction; ROLLBACK is then a no-op error.
  if (!sqlite3_get_autocommit(db_)) StepDone(rollback_.get());
  return stopped ? SubmitResult::Stopping : SubmitResult::Failed;
}

bool ScoreStore::KnownPlayer(const ScoreRecord& record, bool& known, std::string& error) {
  sqlite3_stmt* select = selectPlayer_.get();
  sqlite3_bind_int(select, 1, record.game);
  sqlite3_bind_text(select, 2, record.userId.c_str(), -1, SQLITE_TRANSIENT);
  const int rc = sqlite3_step(select);
  sqlite3_reset(select);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    error = LastError();
    return false;
  }
  known = rc == SQLITE_ROW;
  return true;
}

bool ScoreStore::SubmitLocked(const ScoreRecord& record, OnlineBoards& top,
                              std::string& error) {
  sqlite3_stmt* player = upsertPlayer_.get();
  sqlite3_bind_int(player, 1, record.game);
  sqlite3_bind_text(player, 2, record.userId.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(player, 3, record.name.c_str(), -1, SQLITE_TRANSIENT);
  if (!StepDone(player)) {
    error = LastError();
    return false;
  }

  // A millisecond time that never repeats or goes back, so that of two equal
  // scores the one reached first always ranks first.
  const long long now = std::max(NowMs(), lastAchieved_ + 1);
  lastAchieved_ = now;
  sqlite3_stmt* score = upsertScore_.get();
  for (int b = 0; b < BoardCount; b++) {
    if (record.boards[b].best <= 0) continue;
    sqlite3_bind_int(score, 1, record.game);
    sqlite3_bind_int(score, 2, b + 1);
    sqlite3_bind_text(score, 3, record.userId.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(score, 4, record.boards[b].best);
    sqlite3_bind_int64(score, 5, now);
    if (!StepDone(score)) {
      error = LastError();
      return false;
    }
  }

  sqlite3_stmt* select = selectTop_.get();
  for (int b = 0; b < BoardCount; b++) {
    top[b].clear();
    sqlite3_bind_int(select, 1, record.game);
    sqlite3_bind_int(select, 2, b + 1);
    sqlite3_bind_int(select, 3, OnlineEntries);
    int rc;
    while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
      const unsigned char* name = sqlite3_column_text(select, 0);
      top[b].push_back({name ? reinterpret_cast<const char*>(name) : "",
                        sqlite3_column_int(select, 1)});
    }
    sqlite3_reset(select);
    if (rc != SQLITE_DONE) {
      error = LastError();
      return false;
    }
  }
  return true;
}

}  // namespace scores
