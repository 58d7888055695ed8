// silent-peer as the client's tests use it: a size, a few blocks, then silence with
// the connection still open, and an end on SIGTERM.
#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

#include "../integration/child_process.h"
#include "blocking_client.h"
#include "wire/uFileTrans_Struc.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Peer {
  explicit Peer(const std::vector<std::string>& args) : process(args) {
    std::string line;
    if (!process.ReadLine(line, 5000)) return;
    const std::string head = "silent-peer: listening on 127.0.0.1:";
    if (line.rfind(head, 0) != 0) return;
    std::from_chars(line.data() + head.size(), line.data() + line.size(), port);
  }
  ChildProcess process;
  uint16_t port = 0;
};

// The data lengths of the blocks that arrive for `requests` block requests.
std::vector<int32_t> BlocksFor(Client& client, int requests) {
  for (int i = 0; i < requests; ++i) client.Signal(filetrans::kBlockRequest);
  std::vector<int32_t> lengths;
  Bytes m;
  filetrans::TFileBlock block;
  while (client.Receive(m, 300) && filetrans::DecodeFileBlock(m.data(), m.size(), block)) {
    lengths.push_back(block.DataLen);
  }
  return lengths;
}

}  // namespace

TEST(SilentPeer, AnswersKBlocksThenFallsSilentWithTheConnectionOpen) {
  struct Case {
    const char* size;
    const char* blocks;
    std::vector<int32_t> lengths;
  } cases[] = {
      {"100000", "3", {880, 880, 880}},
      {"1000", "5", {880, 120}},  // never more than the size it announced
      {"100000", "0", {}},
  };
  for (const auto& c : cases) {
    Peer peer({SILENT_PEER_EXE, "--port", "0", "--size", c.size, "--blocks", c.blocks, "--linger", "20"});
    ASSERT_GT(peer.port, 0);
    Client client(peer.port);
    client.Request("any.bin");
    Bytes m;
    filetrans::TFileInfo info;
    ASSERT_TRUE(client.Receive(m));
    ASSERT_TRUE(filetrans::DecodeFileInfo(m.data(), m.size(), info));
    EXPECT_EQ(std::to_string(info.FileSize), c.size);
    EXPECT_EQ(info.Missing, 0);
    EXPECT_EQ(BlocksFor(client, 10), c.lengths) << c.size << " " << c.blocks;
    EXPECT_FALSE(client.ClosedWithin(200)) << "the peer closed the connection";
    peer.process.Signal(SIGTERM);
    EXPECT_EQ(peer.process.Wait(5000), 0);
  }
}

TEST(SilentPeer, EndsByItselfAfterTheLinger) {
  Peer peer({SILENT_PEER_EXE, "--port", "0", "--size", "1", "--blocks", "1", "--linger", "1"});
  ASSERT_GT(peer.port, 0);
  EXPECT_EQ(peer.process.Wait(5000), 0);
}

TEST(SilentPeer, CommandLine) {
  ChildProcess help({SILENT_PEER_EXE, "--help"});
  std::string line;
  ASSERT_TRUE(help.ReadLine(line, 5000));
  EXPECT_EQ(line.rfind("Usage: silent-peer", 0), 0u) << line;
  EXPECT_EQ(help.Wait(5000), 0);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{SILENT_PEER_EXE, "--port", "0"},
        {SILENT_PEER_EXE, "--port", "x", "--size", "1", "--blocks", "1"},
        {SILENT_PEER_EXE, "--port", "0", "--size", "1", "--blocks"}}) {
    ChildProcess p(bad);
    EXPECT_EQ(p.Wait(5000), 2) << bad.back();
  }
}
