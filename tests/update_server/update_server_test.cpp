// The update server on 127.0.0.1, in the test process, with a plain blocking client.
// String literals are GBK (the names on the wire); host names are written with u8"".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <asio.hpp>
#include <atomic>
#include <charconv>
#include <filesystem>
#include <random>
#include <thread>

#include "../integration/child_process.h"
#include "../integration/test_env.h"
#include "../portable/temp_dir.h"
#include "blocking_client.h"
#include "path_resolver.h"
#include "server.h"
#include "wire/framing.h"
#include "wire/uFileTrans_Struc.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

template <size_t N>
Bytes ToBytes(const std::array<uint8_t, N>& a) {
  return Bytes(a.begin(), a.end());
}


// The server running on its own thread for one test.
class RunningServer {
 public:
  explicit RunningServer(ServerOptions options) {
    options.port = 0;
    server_ = std::make_unique<Server>(io_, options);
    thread_ = std::thread([this] { io_.run(); });
  }
  ~RunningServer() {
    asio::post(io_, [this] { server_->Stop(); });
    thread_.join();
  }
  uint16_t Port() const { return server_->Port(); }

 private:
  asio::io_context io_;
  std::unique_ptr<Server> server_;
  std::thread thread_;
};

class UpdateServer : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() / "root";
    fs::create_directories(root);
    options.root = root.string();
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    dir.Write("root/" + name, bytes);
    return bytes;
  }
  TempDir dir;
  fs::path root;
  ServerOptions options;
};

}  // namespace

TEST_F(UpdateServer, PathRules) {
  Put("plain.txt", "x");
  Put("GameSkin/Wheel/bg.png", "x");
  Put(u8"资源/测试.txt", "x");
  Put(u8"乗.txt", "x");  // its second GBK byte is 0x5C
  dir.Write("outside.txt", "x");
  fs::create_directories(root / "folder");
  fs::create_symlink(dir.path() / "outside.txt", root / "out-link");
  fs::create_symlink(root / "plain.txt", root / "in-link");
  const PathResolver resolver(root.string());
  struct Case {
    std::string name;
    bool served;
  } cases[] = {
      {"plain.txt", true},
      {"GameSkin\\Wheel\\bg.png", true},
      {"GameSkin/Wheel/bg.png", true},
      {"资源\\测试.txt", true},
      {"乗.txt", true},
      {"in-link", true},
      {"..\\outside.txt", false},
      {"a\\..\\..\\outside.txt", false},
      {"GameSkin\\..\\plain.txt", false},
      {".\\plain.txt", false},
      {"\\plain.txt", false},
      {"/plain.txt", false},
      {"C:\\plain.txt", false},
      {"plain.txt:stream", false},
      {"a:b", false},
      {"GameSkin\\\\Wheel\\bg.png", false},
      {"GameSkin\\", false},
      {".", false},
      {"", false},
      {"out-link", false},
      {"folder", false},
      {"nothere.txt", false},
      {"tab\there", false},
      {std::string("\x81\x20", 2), false},  // not GBK
  };
  for (const auto& c : cases) EXPECT_EQ(resolver.Resolve(c.name).ok, c.served) << EscapeBytes(c.name);
  EXPECT_EQ(resolver.Resolve("nothere.txt").reason, "missing");
  EXPECT_EQ(resolver.Resolve("..\\outside.txt").reason.rfind("refused", 0), 0u);

  // The name as the log shows it: one line, one quoted field, whatever was sent.
  struct Shown {
    std::string name, display;
  } shown[] = {
      {"GameSkin\\Wheel\\bg.png", "GameSkin\\Wheel\\bg.png"},
      {"资源\\测试.txt", u8"资源\\测试.txt"},
      {"a\nb\"c", "a\\x0ab\\x22c"},
      {std::string("\x81\x20", 2), "\\x81 "},
  };
  for (const auto& c : shown) EXPECT_EQ(resolver.Resolve(c.name).display, c.display) << EscapeBytes(c.name);
}

TEST_F(UpdateServer, FilesArriveByteIdentical) {
  const size_t sizes[] = {0, 1, 879, 880, 881, 8800, 1 << 20};
  for (size_t s : sizes) Put("f" + std::to_string(s), RandomBytes(s, static_cast<unsigned>(s)));
  RunningServer server(options);
  Client client(server.Port());
  ASSERT_TRUE(client.connected());
  for (size_t s : sizes) {
    std::string got;
    ASSERT_TRUE(client.Fetch("f" + std::to_string(s), got)) << s;
    EXPECT_EQ(got, ReadFileBytes((root / ("f" + std::to_string(s))).string())) << s;
  }
  // Missing and refused names get one FileInfo with Missing set, and the connection stays.
  for (const char* name : {"nothere", "..\\f1"}) {
    client.Request(name);
    Bytes m;
    filetrans::TFileInfo info;
    ASSERT_TRUE(client.Receive(m));
    ASSERT_TRUE(filetrans::DecodeFileInfo(m.data(), m.size(), info));
    EXPECT_NE(info.Missing, 0) << name;
  }
  std::string got;
  EXPECT_TRUE(client.Fetch("f1", got));
}

TEST_F(UpdateServer, ReplyFieldsByteByByte) {
  Put("f", RandomBytes(8800, 6));
  RunningServer server(options);
  Client client(server.Port());
  struct Case {
    const char* name;
    Bytes info;
  } cases[] = {
      {"f", {12, 0, 0, 0, 0x60, 0x22, 0, 0, 0, 0, 0, 0}},
      {"nothere", {12, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
      {"..\\f", {12, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
  };
  Bytes m;
  for (const auto& c : cases) {
    client.Request(c.name);
    ASSERT_TRUE(client.Receive(m)) << c.name;
    EXPECT_EQ(m, c.info) << c.name;
  }
  client.Request("f");
  ASSERT_TRUE(client.Receive(m));
  client.Signal(filetrans::kBlockRequest);
  ASSERT_TRUE(client.Receive(m));
  ASSERT_EQ(m.size(), 888u);
  EXPECT_EQ(Bytes(m.begin(), m.begin() + 8), (Bytes{14, 0, 0, 0, 0x70, 0x03, 0, 0}));
  EXPECT_EQ(std::string(m.begin() + 8, m.end()), ReadFileBytes((root / "f").string()).substr(0, 880));
}

TEST_F(UpdateServer, NothingPastTheEndNothingAfterCancel) {
  Put("small", "12345");
  Put("big", RandomBytes(100000, 1));
  RunningServer server(options);
  Client client(server.Port());
  Bytes m;
  client.Signal(filetrans::kBlockRequest);
  EXPECT_FALSE(client.Receive(m, 300)) << "a block request before any file request was answered";
  client.Request("small");
  ASSERT_TRUE(client.Receive(m));
  for (int i = 0; i < 5; ++i) client.Signal(filetrans::kBlockRequest);
  filetrans::TFileBlock block;
  ASSERT_TRUE(client.Receive(m));
  ASSERT_TRUE(filetrans::DecodeFileBlock(m.data(), m.size(), block));
  EXPECT_EQ(block.DataLen, 5);
  EXPECT_FALSE(client.Receive(m, 300)) << "a block request past the end was answered";

  client.Request("big");
  ASSERT_TRUE(client.Receive(m));
  client.Signal(filetrans::kCancelTransfer);
  client.Signal(filetrans::kBlockRequest);
  EXPECT_FALSE(client.Receive(m, 300)) << "a block was sent after the cancel";

  client.Request("big");
  ASSERT_TRUE(client.Receive(m));
  client.Signal(filetrans::kTransferDone);
  client.Signal(filetrans::kBlockRequest);
  EXPECT_FALSE(client.Receive(m, 300)) << "a block was sent after the transfer was done";

  std::string got;
  EXPECT_TRUE(client.Fetch("small", got)) << "the connection did not survive";
}

TEST_F(UpdateServer, NewRequestReplacesTheTransfer) {
  const std::string a = Put("a", RandomBytes(5000, 2));
  const std::string b = Put("b", RandomBytes(3000, 3));
  RunningServer server(options);
  Client client(server.Port());
  client.Request("a");
  Bytes m;
  ASSERT_TRUE(client.Receive(m));
  client.Signal(filetrans::kBlockRequest);
  ASSERT_TRUE(client.Receive(m));  // one block of a
  std::string got;
  ASSERT_TRUE(client.Fetch("b", got));
  EXPECT_EQ(got, b);
}

TEST_F(UpdateServer, BrokenClientsAreClosed) {
  Put("big", RandomBytes(1 << 20, 8));
  // Far more block requests at once than the ten a client keeps outstanding.
  Bytes flood = frame::Encode(filetrans::EncodeFileRequest("big").data(), 102);
  for (int i = 0; i < 700; ++i) {
    const Bytes one = frame::Encode(filetrans::EncodeSignal(filetrans::kBlockRequest).data(), 1);
    flood.insert(flood.end(), one.begin(), one.end());
  }
  struct Case {
    const char* what;
    Bytes raw;
  } cases[] = {
      {"frame over the limit", frame::Encode(Bytes(257, 11).data(), 257)},
      {"frame of length 0", {0, 0, 0, 0}},
      {"unknown message", frame::Encode(Bytes{99}.data(), 1)},
      {"file request of the wrong length", frame::Encode(Bytes(101, 11).data(), 101)},
      {"block request with a tail", frame::Encode(Bytes{13, 0}.data(), 2)},
      {"file info from a client", frame::Encode(filetrans::EncodeFileInfo(1, false).data(), 12)},
      {"flood of block requests", flood},
  };
  RunningServer server(options);
  for (const auto& c : cases) {
    Client client(server.Port());
    client.SendRaw(c.raw);
    EXPECT_TRUE(client.ClosedWithin(2000)) << c.what;
  }
}

TEST_F(UpdateServer, IdleConnectionsAreClosed) {
  options.idleTimeoutSec = 1;
  RunningServer server(options);
  Client client(server.Port());
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(client.ClosedWithin(3000));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(900));
}

TEST_F(UpdateServer, ConnectionsOverTheLimitAreClosed) {
  Put("a", "hello");
  options.maxConnections = 2;
  RunningServer server(options);
  Client one(server.Port()), two(server.Port());
  std::string got;
  ASSERT_TRUE(one.Fetch("a", got));  // both accepted before the third arrives
  ASSERT_TRUE(two.Fetch("a", got));
  Client three(server.Port());
  EXPECT_TRUE(three.ClosedWithin(2000));
  EXPECT_TRUE(one.Fetch("a", got));
}

TEST_F(UpdateServer, FileThatShrinksClosesTheConnection) {
  Put("f", RandomBytes(10000, 4));
  RunningServer server(options);
  Client client(server.Port());
  client.Request("f");
  Bytes m;
  ASSERT_TRUE(client.Receive(m));
  fs::resize_file(root / "f", 1000);
  for (int i = 0; i < 10; ++i) client.Signal(filetrans::kBlockRequest);
  int64_t received = 0;
  filetrans::TFileBlock block;
  while (client.Receive(m, 2000)) {
    ASSERT_TRUE(filetrans::DecodeFileBlock(m.data(), m.size(), block));
    EXPECT_EQ(block.DataLen, 880) << "never a short block for a file announced longer";
    received += block.DataLen;
  }
  EXPECT_LE(received, 1000);
  EXPECT_TRUE(client.ClosedWithin(100));
}

TEST_F(UpdateServer, ManyClientsAtOnce) {
  const std::string data = Put("shared.bin", RandomBytes(200000, 5));
  RunningServer server(options);
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < 50; ++i) {
    clients.emplace_back([&] {
      Client c(server.Port());
      std::string got;
      if (c.Fetch("shared.bin", got) && got == data) ++good;
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(good, 50);
}

// The program itself, as an operator runs it.
TEST_F(UpdateServer, CommandLine) {
  Put("a.txt", "hello");
  {
    ChildProcess help({UPDATE_SERVER_EXE, "--help"});
    std::string line;
    ASSERT_TRUE(help.ReadLine(line, 5000));
    EXPECT_EQ(line.rfind("Usage: update-server", 0), 0u) << line;
    EXPECT_EQ(help.Wait(5000), 0);
  }
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{UPDATE_SERVER_EXE},
        {UPDATE_SERVER_EXE, "--root", root.string(), "--port", "x"},
        {UPDATE_SERVER_EXE, "--root", root.string(), "--bogus"},
        {UPDATE_SERVER_EXE, "--root", root.string(), "--listen", "localhost:6001"},
        {UPDATE_SERVER_EXE, "--root", root.string(), "--max-frame", "50"}}) {
    ChildProcess p(bad);
    EXPECT_EQ(p.Wait(5000), 2) << bad.back();
  }
  ChildProcess server({UPDATE_SERVER_EXE, "--root", root.string(), "--port", "0"});
  std::string line;
  ASSERT_TRUE(server.ReadLine(line, 5000));
  const std::string head = "update-server: serving " + fs::canonical(root).string() + " on 127.0.0.1:";
  ASSERT_EQ(line.rfind(head, 0), 0u) << line;
  uint16_t port = 0;
  const auto parsed = std::from_chars(line.data() + head.size(), line.data() + line.size(), port);
  ASSERT_TRUE(parsed.ec == std::errc() && parsed.ptr == line.data() + line.size() && port > 0) << line;

  // One line per transfer, naming how it ended.
  Client client(port);
  std::string got;
  ASSERT_TRUE(client.Fetch("a.txt", got));
  EXPECT_EQ(got, "hello");
  ASSERT_TRUE(server.ReadLine(line, 5000));
  EXPECT_NE(line.find("\"a.txt\" 5 of 5 bytes done"), std::string::npos) << line;
  struct Case {
    std::vector<Bytes> send;
    std::string logged;
  } cases[] = {
      {{ToBytes(filetrans::EncodeFileRequest("nothere"))}, "\"nothere\" 0 bytes missing"},
      {{ToBytes(filetrans::EncodeFileRequest("..\\a.txt"))}, "\"..\\a.txt\" 0 bytes refused"},
      {{ToBytes(filetrans::EncodeFileRequest("a.txt")), ToBytes(filetrans::EncodeFileRequest("a.txt"))},
       "\"a.txt\" 0 of 5 bytes replaced"},
      {{ToBytes(filetrans::EncodeSignal(filetrans::kCancelTransfer))}, "\"a.txt\" 0 of 5 bytes cancelled"},
  };
  for (const auto& c : cases) {
    for (const auto& m : c.send) client.SendRaw(frame::Encode(m.data(), m.size()));
    ASSERT_TRUE(server.ReadLine(line, 5000)) << c.logged;
    EXPECT_NE(line.find(c.logged), std::string::npos) << line;
  }

  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(5000), 0);
  EXPECT_NE(server.Lines().back().find("stopped"), std::string::npos) << server.Lines().back();
}
