// The command line: what each accepted one sets, and what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"

namespace {

ParseOutcome Parse(std::vector<std::string> args, WheelOptions& out, std::string& error) {
  args.insert(args.begin(), "wheel-server");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  return ParseOptions(static_cast<int>(argv.size()), argv.data(), out, error);
}

bool Same(const WheelOptions& a, const WheelOptions& b) {
  return a.listen == b.listen && a.port == b.port && a.db == b.db && a.initialCoins == b.initialCoins &&
         a.stake == b.stake && a.prizes == b.prizes && a.weights == b.weights &&
         a.sessionTimeoutMs == b.sessionTimeoutMs && a.minStartIntervalMs == b.minStartIntervalMs &&
         a.statsIntervalSec == b.statsIntervalSec;
}

TEST(WheelOptions, Defaults) {
  const WheelOptions d;
  EXPECT_EQ(d.listen, "127.0.0.1");
  EXPECT_EQ(d.port, 18001);
  EXPECT_EQ(d.db, "wheel.db");
  EXPECT_EQ(d.initialCoins, 1000);
  EXPECT_EQ(d.stake, 10);
  EXPECT_EQ(d.sessionTimeoutMs, 35000u);
  EXPECT_EQ(d.minStartIntervalMs, 600u);
}

TEST(WheelOptions, AcceptedCommandLines) {
  struct Case {
    std::vector<std::string> args;
    void (*expect)(WheelOptions&);  // applied to the defaults
  } cases[] = {
      {{}, [](WheelOptions&) {}},
      {{"--port", "0"}, [](WheelOptions& o) { o.port = 0; }},
      {{"--port=65535"}, [](WheelOptions& o) { o.port = 65535; }},
      {{"--listen", "::1", "--port", "18002"},
       [](WheelOptions& o) {
         o.listen = "::1";
         o.port = 18002;
       }},
      {{"--db", "/tmp/x y.db"}, [](WheelOptions& o) { o.db = "/tmp/x y.db"; }},
      {{"--initial-coins", "0", "--stake", "25"},
       [](WheelOptions& o) {
         o.initialCoins = 0;
         o.stake = 25;
       }},
      {{"--initial-coins=1000000000"}, [](WheelOptions& o) { o.initialCoins = 1000000000; }},
      {{"--prizes", "1,2,3,4,5,6,7,1000000000"},
       [](WheelOptions& o) { o.prizes = {1, 2, 3, 4, 5, 6, 7, 1000000000}; }},
      {{"--weights", "0,0,0,0,0,0,0,1"}, [](WheelOptions& o) { o.weights = {0, 0, 0, 0, 0, 0, 0, 1}; }},
      {{"--session-timeout-ms", "200", "--min-start-interval-ms", "0", "--stats-interval", "0"},
       [](WheelOptions& o) {
         o.sessionTimeoutMs = 200;
         o.minStartIntervalMs = 0;
         o.statsIntervalSec = 0;
       }},
      {{"--port", "1", "--port", "2"}, [](WheelOptions& o) { o.port = 2; }},  // the last one counts
  };
  for (const auto& k : cases) {
    WheelOptions got, want;
    std::string error;
    k.expect(want);
    const std::string line = ::testing::PrintToString(k.args);
    EXPECT_EQ(Parse(k.args, got, error), ParseOutcome::kRun) << line << ": " << error;
    EXPECT_TRUE(Same(got, want)) << line;
  }
  WheelOptions o;
  std::string error;
  EXPECT_EQ(Parse({"--port", "x", "--help"}, o, error), ParseOutcome::kError) << "checked in order";
  EXPECT_EQ(Parse({"--port", "0", "--help"}, o, error), ParseOutcome::kHelp);
  EXPECT_EQ(Parse({"-h"}, o, error), ParseOutcome::kHelp);
}

TEST(WheelOptions, RefusedCommandLines) {
  struct Case {
    std::vector<std::string> args;
    const char* message;  // part of the error
  } cases[] = {
      {{"--port", "65536"}, "--port needs a number from 0 to 65535"},
      {{"--port", "-1"}, "--port needs"},
      {{"--port", "12 "}, "--port needs"},
      {{"--port", ""}, "--port needs"},
      {{"--port"}, "--port needs a value"},
      {{"--listen", "localhost"}, "--listen needs an IP address, not \"localhost\""},
      {{"--listen", "127.0.0.1:18001"}, "--listen needs an IP address"},
      {{"--db", ""}, "--db needs a file name"},
      {{"--initial-coins", "-5"}, "--initial-coins needs a number from 0 to 1000000000"},
      {{"--initial-coins", "1000000001"}, "--initial-coins needs"},
      {{"--stake", "0"}, "--stake needs a number from 1 to 1000000000"},
      {{"--stake", "1e3"}, "--stake needs"},
      {{"--prizes", "1,2,3,4,5,6,7"}, "--prizes needs 8 comma-separated numbers"},
      {{"--prizes", "1,2,3,4,5,6,7,8,9"}, "--prizes needs 8"},
      {{"--prizes", "1,2,3,4,5,6,7,"}, "--prizes needs 8"},
      {{"--prizes", "1,2,3,-4,5,6,7,8"}, "--prizes needs 8"},
      {{"--prizes", "1, 2,3,4,5,6,7,8"}, "--prizes needs 8"},
      {{"--prizes", "1,2,3,4,5,6,7,1000000001"}, "--prizes needs 8"},
      {{"--weights", "0,0,0,0,0,0,0,0"}, "--weights needs at least one weight above 0"},
      {{"--weights", "1,1,1,1,1,1,1,1,1"}, "--weights needs 8"},
      {{"--session-timeout-ms", "0"}, "--session-timeout-ms needs"},
      {{"--min-start-interval-ms", "3600001"}, "--min-start-interval-ms needs"},
      {{"--bogus"}, "unknown option --bogus"},
      {{"18001"}, "unknown option 18001"},
  };
  for (const auto& k : cases) {
    WheelOptions o;
    std::string error;
    const std::string line = ::testing::PrintToString(k.args);
    EXPECT_EQ(Parse(k.args, o, error), ParseOutcome::kError) << line;
    EXPECT_NE(error.find(k.message), std::string::npos) << line << ": " << error;
  }
}

TEST(WheelOptions, UsageShowsTheDefaultTableAndItsReturn) {
  const std::string u = Usage();
  for (const char* part :
       {"--port N", "--listen ADDR", "--db FILE", "--initial-coins N", "--stake N", "--prizes P1,...,P8",
        "--weights W1,...,W8", "--session-timeout-ms MS", "--min-start-interval-ms MS",
        "(default 0,5,10,20,50,100,200,500)", "       1          0        448     44.8000%          0.0000\n",
        "a return of 95.00%"}) {
    EXPECT_NE(u.find(part), std::string::npos) << part;
  }
}

}  // namespace
