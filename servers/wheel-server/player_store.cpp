#include "player_store.h"

#include <limits>

namespace {

// Resets a statement when a call leaves, whichever way, so that no statement keeps a
// read transaction open between requests.
class ResetOnExit {
 public:
  explicit ResetOnExit(sqlite3_stmt* s) : s_(s) {}
  ~ResetOnExit() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  ResetOnExit(const ResetOnExit&) = delete;
  ResetOnExit& operator=(const ResetOnExit&) = delete;

 private:
  sqlite3_stmt* s_;
};

}  // namespace

SqlitePlayerStore::Connection::~Connection() {
  if (db_ != nullptr) sqlite3_close(db_);
}

SqlitePlayerStore::Statement::~Statement() {
  if (stmt_ != nullptr) sqlite3_finalize(stmt_);
}

SqlitePlayerStore::SqlitePlayerStore(const std::string& path) : path_(path) {
  const int rc =
      sqlite3_open_v2(path.c_str(), db_.out(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    if (db_.get() == nullptr) throw StoreError("database " + path_ + ": cannot open: " + sqlite3_errstr(rc));
    Fail("cannot open");
  }
  sqlite3_extended_result_codes(db_.get(), 1);
  // Someone reading the file with the sqlite3 shell may hold a lock for a moment.
  sqlite3_busy_timeout(db_.get(), 2000);

  // WAL: a commit is one append and one sync of the log, the cheapest durable write
  // SQLite has; FULL makes it sync on every commit, not only at checkpoints.
  {
    Statement mode;
    Prepare(mode, "PRAGMA journal_mode=WAL");
    ResetOnExit reset(mode.get());
    if (sqlite3_step(mode.get()) != SQLITE_ROW) Fail("cannot set the journal mode");
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(mode.get(), 0));
    const std::string got = text ? text : "";
    if (got != "wal") {
      throw StoreError("database " + path_ + ": WAL mode is not available here (journal mode " + got +
                       "); the server needs it to make each spin durable");
    }
  }
  Exec("PRAGMA synchronous=FULL");
  Exec(
      "CREATE TABLE IF NOT EXISTS players ("
      " user_id INTEGER PRIMARY KEY,"
      " name BLOB NOT NULL,"
      " coins INTEGER NOT NULL)");
  Prepare(select_, "SELECT name, coins FROM players WHERE user_id = ?1");
  Prepare(insert_, "INSERT INTO players (user_id, name, coins) VALUES (?1, ?2, ?3)");
  Prepare(rename_, "UPDATE players SET name = ?2 WHERE user_id = ?1");
  Prepare(save_, "UPDATE players SET coins = ?2 WHERE user_id = ?1");
}

SqlitePlayerStore::~SqlitePlayerStore() = default;

void SqlitePlayerStore::Fail(const std::string& what) const {
  throw StoreError("database " + path_ + ": " + what + ": " + sqlite3_errmsg(db_.get()));
}

void SqlitePlayerStore::Exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message ? message : sqlite3_errmsg(db_.get());
    sqlite3_free(message);
    throw StoreError("database " + path_ + ": " + sql + ": " + text);
  }
}

void SqlitePlayerStore::Prepare(Statement& s, const char* sql) {
  if (sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, s.out(), nullptr) != SQLITE_OK)
    Fail(std::string("cannot prepare \"") + sql + "\"");
}

std::optional<PlayerRecord> SqlitePlayerStore::Find(int32_t userId) {
  sqlite3_stmt* s = select_.get();
  ResetOnExit reset(s);
  sqlite3_bind_int(s, 1, userId);
  const int rc = sqlite3_step(s);
  if (rc == SQLITE_DONE) return std::nullopt;
  if (rc != SQLITE_ROW) Fail("cannot read player " + std::to_string(userId));
  PlayerRecord r;
  r.userId = userId;
  const auto* name = static_cast<const char*>(sqlite3_column_blob(s, 0));
  r.name.assign(name ? name : "", static_cast<size_t>(sqlite3_column_bytes(s, 0)));
  const sqlite3_int64 coins = sqlite3_column_int64(s, 1);
  // The wire carries coins as int32; a value outside it was not written by us.
  if (coins < 0 || coins > std::numeric_limits<int32_t>::max()) {
    throw StoreError("database " + path_ + ": player " + std::to_string(userId) + " has " +
                     std::to_string(coins) + " coins, outside 0 to 2147483647");
  }
  r.coins = static_cast<int32_t>(coins);
  return r;
}

PlayerRecord SqlitePlayerStore::Login(int32_t userId, const std::string& name, int32_t initialCoins) {
  std::optional<PlayerRecord> found = Find(userId);
  if (!found) {
    sqlite3_stmt* s = insert_.get();
    ResetOnExit reset(s);
    sqlite3_bind_int(s, 1, userId);
    sqlite3_bind_blob(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 3, initialCoins);
    if (sqlite3_step(s) != SQLITE_DONE) Fail("cannot add player " + std::to_string(userId));
    return PlayerRecord{userId, name, initialCoins};
  }
  if (found->name != name) {
    sqlite3_stmt* s = rename_.get();
    ResetOnExit reset(s);
    sqlite3_bind_int(s, 1, userId);
    sqlite3_bind_blob(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(s) != SQLITE_DONE) Fail("cannot rename player " + std::to_string(userId));
    found->name = name;
  }
  return *found;
}

void SqlitePlayerStore::SaveCoins(int32_t userId, int32_t coins) {
  sqlite3_stmt* s = save_.get();
  ResetOnExit reset(s);
  sqlite3_bind_int(s, 1, userId);
  sqlite3_bind_int(s, 2, coins);
  if (sqlite3_step(s) != SQLITE_DONE) Fail("cannot save the coins of player " + std::to_string(userId));
  if (sqlite3_changes(db_.get()) != 1)
    throw StoreError("database " + path_ + ": player " + std::to_string(userId) + " is not in it");
}

std::optional<int32_t> SqlitePlayerStore::Coins(int32_t userId) {
  const auto found = Find(userId);
  if (!found) return std::nullopt;
  return found->coins;
}
