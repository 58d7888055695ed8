// The SQLite store: a new file, an existing one, and files it must refuse clearly.
// String literals are GBK (names on the wire).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "../portable/temp_dir.h"
#include "player_store.h"

namespace {

// A second connection to the file, as an operator's sqlite3 shell would open it.
class Peek {
 public:
  explicit Peek(const std::string& path) { EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK); }
  ~Peek() { sqlite3_close(db_); }
  Peek(const Peek&) = delete;
  Peek& operator=(const Peek&) = delete;
  // The first column of the first row, as bytes.
  std::string One(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    std::string out;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
    if (sqlite3_step(s) == SQLITE_ROW) {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(s, 0));
      out.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(s, 0)));
    }
    sqlite3_finalize(s);
    return out;
  }
  void Exec(const std::string& sql) {
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  }

 private:
  sqlite3* db_ = nullptr;
};

TEST(PlayerStore, KeepsPlayersAcrossReopening) {
  TempDir dir;
  const std::string path = dir.File("sub folder/wheel.db");
  std::filesystem::create_directories(dir.path() / "sub folder");
  const std::string name("\x00玩家\xff", 6);  // bytes, whatever they are
  {
    SqlitePlayerStore store(path);
    const PlayerRecord fresh = store.Login(5, name, 1000);
    EXPECT_EQ(fresh.coins, 1000);
    EXPECT_EQ(fresh.name, name);
    EXPECT_EQ(store.Login(5, name, 77).coins, 1000) << "the initial coins are for new players only";
    store.SaveCoins(5, 990);
    EXPECT_EQ(store.Coins(5), 990);
    EXPECT_EQ(store.Coins(6), std::nullopt);
    EXPECT_THROW(store.SaveCoins(6, 1), StoreError) << "coins of a player never seen";
    Peek peek(path);
    EXPECT_EQ(peek.One("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(peek.One("SELECT coins FROM players WHERE user_id = 5"), "990")
        << "committed, seen from outside";
  }
  EXPECT_FALSE(std::filesystem::exists(path + "-wal")) << "closed cleanly: the log is checkpointed away";

  SqlitePlayerStore again(path);
  const PlayerRecord back = again.Login(5, "renamed", 1000);
  EXPECT_EQ(back.coins, 990);
  EXPECT_EQ(back.name, "renamed");
  Peek peek(path);
  EXPECT_EQ(peek.One("SELECT name FROM players WHERE user_id = 5"), "renamed");
  EXPECT_EQ(peek.One("SELECT typeof(name) FROM players WHERE user_id = 5"), "blob");
}

TEST(PlayerStore, RefusesWhatItCannotUseAndSaysWhy) {
  TempDir dir;
  dir.Write("text.db", std::string(4096, 'x'));
  std::filesystem::create_directories(dir.path() / "folder.db");
  {
    Peek other(dir.File("other.db"));
    other.Exec("CREATE TABLE players (id INTEGER)");
  }
  struct Case {
    std::string path;
    const char* cause;
  } cases[] = {
      {dir.File("missing/wheel.db"), "unable to open database file"},
      {dir.File("text.db"), "file is not a database"},
      {dir.File("folder.db"), "unable to open database file"},
      {dir.File("other.db"), "no such column"},
  };
  for (const auto& k : cases) {
    try {
      SqlitePlayerStore store(k.path);
      ADD_FAILURE() << k.path << " was opened";
    } catch (const StoreError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find("database " + k.path + ": "), std::string::npos) << what;
      EXPECT_NE(what.find(k.cause), std::string::npos) << what;
    }
  }
}

TEST(PlayerStore, CoinsOutsideTheWireRangeAreAnError) {
  TempDir dir;
  const std::string path = dir.File("wheel.db");
  SqlitePlayerStore store(path);
  store.Login(1, "a", 10);
  store.Login(2, "b", 10);
  Peek peek(path);
  peek.Exec("UPDATE players SET coins = 5000000000 WHERE user_id = 1");
  peek.Exec("UPDATE players SET coins = -1 WHERE user_id = 2");
  for (int32_t id : {1, 2}) {
    try {
      store.Login(id, "x", 10);
      ADD_FAILURE() << id;
    } catch (const StoreError& e) {
      EXPECT_NE(std::string(e.what()).find("outside 0 to 2147483647"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
