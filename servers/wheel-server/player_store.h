// Players and their coins, kept across restarts.
//
// One server owns a database: it keeps the coins of logged-in players in memory and
// writes each change through, so two servers on one file would overwrite each
// other's balances.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

struct PlayerRecord {
  int32_t userId = 0;
  std::string name;  // GBK bytes as the client sent them
  int32_t coins = 0;
};

// A store that could not do what was asked; the text names the file and the cause.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class PlayerStore {
 public:
  virtual ~PlayerStore() = default;
  // The player with `userId`, created with `initialCoins` when new; the stored name
  // becomes `name`. Throws StoreError.
  virtual PlayerRecord Login(int32_t userId, const std::string& name, int32_t initialCoins) = 0;
  // Sets the player's coins and returns once the change is durable. Throws StoreError.
  virtual void SaveCoins(int32_t userId, int32_t coins) = 0;
  // The stored coins, or nothing for an unknown player. Throws StoreError.
  virtual std::optional<int32_t> Coins(int32_t userId) = 0;
};

// The store in an SQLite file, in WAL mode with synchronous=FULL: a commit has reached
// the disk when SaveCoins returns, so an acknowledged spin survives a crash of the
// server or of the machine.
class SqlitePlayerStore : public PlayerStore {
 public:
  // Opens or creates the database and its table. Throws StoreError.
  explicit SqlitePlayerStore(const std::string& path);
  ~SqlitePlayerStore() override;
  SqlitePlayerStore(const SqlitePlayerStore&) = delete;
  SqlitePlayerStore& operator=(const SqlitePlayerStore&) = delete;

  PlayerRecord Login(int32_t userId, const std::string& name, int32_t initialCoins) override;
  void SaveCoins(int32_t userId, int32_t coins) override;
  std::optional<int32_t> Coins(int32_t userId) override;

  const std::string& Path() const { return path_; }

 private:
  // The open database, closed last: the statements below are finalized before it.
  class Connection {
   public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3** out() { return &db_; }
    sqlite3* get() const { return db_; }

   private:
    sqlite3* db_ = nullptr;
  };

  // A prepared statement; Run resets it after each use, so it holds no lock between calls.
  class Statement {
   public:
    Statement() = default;
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt** out() { return &stmt_; }
    sqlite3_stmt* get() const { return stmt_; }

   private:
    sqlite3_stmt* stmt_ = nullptr;
  };

  [[noreturn]] void Fail(const std::string& what) const;
  void Exec(const char* sql);
  void Prepare(Statement& s, const char* sql);
  std::optional<PlayerRecord> Find(int32_t userId);

  std::string path_;
  Connection db_;
  Statement select_, insert_, rename_, save_;
};
