// hostile-peer as the updater's end-to-end tests use it: a folder served byte for
// byte, names outside it missing, a file dripped a byte at a time under a size of its
// own, and a connection broken in the middle of the N-th data file, once.
#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <string>
#include <vector>

#include "../integration/child_process.h"
#include "../integration/test_env.h"
#include "../portable/temp_dir.h"
#include "blocking_client.h"
#include "wire/uFileTrans_Struc.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Peer {
  explicit Peer(std::vector<std::string> args)
      : process([&] {
          args.insert(args.begin(), HOSTILE_PEER_EXE);
          return args;
        }()) {
    std::string line;
    if (!process.ReadLine(line, 5000)) return;
    const std::string head = "hostile-peer: listening on 127.0.0.1:";
    if (line.rfind(head, 0) != 0) return;
    std::from_chars(line.data() + head.size(), line.data() + line.size(), port);
  }
  // The peer's line for the transfer of `name` (after it ended), or "".
  std::string ReportFor(const std::string& name) {
    std::string line;
    for (int i = 0; i < 20; ++i) {
      for (const auto& l : process.Lines()) {
        if (l.find("\"" + name + "\"") != std::string::npos) return l;
      }
      process.ReadLine(line, 100);
    }
    return "";
  }
  ChildProcess process;
  uint16_t port = 0;
};

// Reads the file info of a request; its size, or -1 when the file is missing.
long long Announced(Client& client, const std::string& name) {
  client.Request(name);
  Bytes m;
  filetrans::TFileInfo info;
  if (!client.Receive(m) || !filetrans::DecodeFileInfo(m.data(), m.size(), info)) return -2;
  return info.Missing ? -1 : info.FileSize;
}

class HostilePeer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("served/LastVer.txt", "[ver]\r\nLastVer=7\r\n");
    dir.Write("served/a.bin", RandomBytes(5000, 1));
    dir.Write("served/sub/b.bin", RandomBytes(9000, 2));
    dir.Write("served/c.bin", RandomBytes(100, 3));
    dir.Write("outside.txt", "outside");
    dir.Write("served/C:/a.bin", "a drive on another system");
  }
  // The folder served; "outside.txt" lies next to it.
  std::string Root() const { return dir.File("served"); }
  std::string Published(const std::string& rel) const { return ReadFileBytes(dir.File("served/" + rel)); }
  TempDir dir;
};

}  // namespace

TEST_F(HostilePeer, ServesTheFolderAndNothingOutsideIt) {
  Peer peer({"--root", Root(), "--linger", "30"});
  ASSERT_GT(peer.port, 0);
  Client client(peer.port);
  std::string bytes;
  ASSERT_TRUE(client.Fetch("LastVer.txt", bytes));
  EXPECT_EQ(bytes, Published("LastVer.txt"));
  ASSERT_TRUE(client.Fetch("sub\\b.bin", bytes));
  EXPECT_EQ(bytes, Published("sub/b.bin"));
  EXPECT_NE(peer.ReportFor("sub\\b.bin").find("9000 of 9000 bytes done"), std::string::npos);
  for (const char* bad : {"nope.txt", "..\\outside.txt", "sub\\..\\..\\outside.txt", "\\a.bin", "C:\\a.bin",
                          "sub\\\\b.bin", "sub", ""}) {
    EXPECT_EQ(Announced(client, bad), -1) << bad;
  }
  // Still usable after the refusals.
  ASSERT_TRUE(client.Fetch("a.bin", bytes));
  EXPECT_EQ(bytes, Published("a.bin"));
}

TEST_F(HostilePeer, DripsOneBytePerIntervalUnderTheSizeItAnnounces) {
  Peer peer({"--root", Root(), "--drip", "lastver.TXT", "--drip-size", "100000", "--drip-every", "300",
             "--linger", "30"});
  ASSERT_GT(peer.port, 0);
  Client client(peer.port);
  ASSERT_EQ(Announced(client, "LastVer.txt"), 100000);
  for (int i = 0; i < 10; ++i) client.Signal(filetrans::kBlockRequest);
  // Over 1.5 s: about five one-byte blocks, the first a full interval after the info,
  // each the file's own next byte.
  const auto start = std::chrono::steady_clock::now();
  std::string got;
  Bytes m;
  filetrans::TFileBlock block;
  double first = -1;
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1550)) {
    if (!client.Receive(m, 50)) continue;
    ASSERT_TRUE(filetrans::DecodeFileBlock(m.data(), m.size(), block));
    ASSERT_EQ(block.DataLen, 1);
    if (first < 0) first = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    got += static_cast<char>(block.Data[0]);
  }
  EXPECT_GE(got.size(), 4u);
  EXPECT_LE(got.size(), 6u);
  EXPECT_GE(first, 0.2);
  EXPECT_EQ(got, Published("LastVer.txt").substr(0, got.size()));
  // Other files are served whole and at once.
  ASSERT_EQ(Announced(client, "c.bin"), 100);
  std::string bytes;
  Client other(peer.port);
  ASSERT_TRUE(other.Fetch("a.bin", bytes));
  EXPECT_EQ(bytes, Published("a.bin"));
}

TEST_F(HostilePeer, CutsTheNthDataFileOnceAfterSomeBlocks) {
  struct Case {
    const char* cutAfter;
    const char* file;        // the second data file asked for
    long long blocksBefore;  // blocks that arrive before the connection closes
  } cases[] = {
      {"3", "sub\\b.bin", 3},
      {"0", "sub\\b.bin", 0},
      {"50", "sub\\b.bin", 10},  // never the whole file: 9000 bytes are 11 blocks
      {"5", "c.bin", 0},         // a one-block file closes before its only block
  };
  for (const auto& c : cases) {
    Peer peer({"--root", Root(), "--cut", "2", "--cut-after", c.cutAfter, "--linger", "30"});
    ASSERT_GT(peer.port, 0);
    std::string bytes;
    {
      Client client(peer.port);
      // The version file and the manifest do not count; the first data file is whole.
      ASSERT_TRUE(client.Fetch("LastVer.txt", bytes));
      ASSERT_TRUE(client.Fetch("a.bin", bytes));
      EXPECT_EQ(bytes, Published("a.bin"));
      EXPECT_FALSE(client.Fetch(c.file, bytes)) << c.cutAfter;
      EXPECT_EQ(static_cast<long long>(bytes.size()), c.blocksBefore * filetrans::kBlockDataRoom)
          << c.cutAfter;
      EXPECT_TRUE(client.ClosedWithin(2000)) << c.cutAfter;
    }
    EXPECT_NE(peer.ReportFor(c.file).find(" cut"), std::string::npos) << peer.ReportFor(c.file);
    // Once: a new connection gets the same file whole.
    Client again(peer.port);
    ASSERT_TRUE(again.Fetch(c.file, bytes)) << c.cutAfter;
    EXPECT_EQ(bytes, Published(c.file == std::string("c.bin") ? "c.bin" : "sub/b.bin"));
    peer.process.Signal(SIGTERM);
    EXPECT_EQ(peer.process.Wait(5000), 0);
  }
}

TEST(HostilePeerCommandLine, HelpBadOptionsAndTheEnd) {
  ChildProcess help({HOSTILE_PEER_EXE, "--help"});
  std::string line;
  ASSERT_TRUE(help.ReadLine(line, 5000));
  EXPECT_EQ(line.rfind("Usage: hostile-peer", 0), 0u) << line;
  EXPECT_EQ(help.Wait(5000), 0);
  for (const std::vector<std::string>& bad : {
           std::vector<std::string>{HOSTILE_PEER_EXE},
           {HOSTILE_PEER_EXE, "--root", "/tmp", "--port", "x"},
           {HOSTILE_PEER_EXE, "--root", "/tmp", "--listen", "0.0.0.0"},
           {HOSTILE_PEER_EXE, "--root", "/tmp", "--listen", "192.168.1.1"},
           {HOSTILE_PEER_EXE, "--root", "/tmp", "--drip", "LastVer.txt"},
           {HOSTILE_PEER_EXE, "--root", "/tmp", "--cut", "2"},
           {HOSTILE_PEER_EXE, "--root", "/tmp", "--cut", "0", "--cut-after", "1"},
           {HOSTILE_PEER_EXE, "--root"},
       }) {
    ChildProcess p(bad);
    EXPECT_EQ(p.Wait(5000), 2) << bad.back();
  }
  // It ends by itself after its linger.
  TempDir dir;
  ChildProcess p({HOSTILE_PEER_EXE, "--root", dir.path().string(), "--linger", "1"});
  EXPECT_EQ(p.Wait(5000), 0);
}
