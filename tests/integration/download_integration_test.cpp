// The real download path end to end: the Windows client and Durnix.dll under Wine
// against the real update server (and a peer that stops answering) on 127.0.0.1.
// Run from the Windows test run, which provides Wine, the display and these paths:
//   PROBE_EXE      the download_probe.exe to run under Wine
//   WINE_RUN       scripts/wine-run.sh
//   UPDATE_SERVER  the native update-server
//   SILENT_PEER    the native silent-peer
// String literals here are GBK (the probe reports the client's texts as GBK bytes);
// host file names are written with u8"".
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "../portable/temp_dir.h"
#include "child_process.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

// The Windows form of a host path: Wine's drive Z: is the host's root.
std::string WinPath(const fs::path& p) {
  std::string s = "Z:" + p.string();
  for (auto& c : s) {
    if (c == '/') c = '\\';
  }
  return s;
}

double SecondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A running update-server or silent-peer, with the port it listens on.
struct Server {
  std::unique_ptr<ChildProcess> process;
  int port = 0;
};

Server StartServed(const std::vector<std::string>& argv) {
  Server s;
  s.process = std::make_unique<ChildProcess>(argv);
  std::string line;
  if (!s.process->ReadLine(line, 10000)) return s;
  const size_t colon = line.rfind(':');
  if (colon != std::string::npos) s.port = std::atoi(line.c_str() + colon + 1);
  return s;
}

Server StartUpdateServer(const fs::path& root, int port = 0) {
  return StartServed({Env("UPDATE_SERVER"), "--root", root.string(), "--port", std::to_string(port)});
}

std::unique_ptr<ChildProcess> StartProbe(std::vector<std::string> args) {
  std::vector<std::string> argv = {"/bin/bash", Env("WINE_RUN"), Env("PROBE_EXE")};
  argv.insert(argv.end(), args.begin(), args.end());
  return std::make_unique<ChildProcess>(argv);
}

class DownloadIntegration : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* v : {"PROBE_EXE", "WINE_RUN", "UPDATE_SERVER", "SILENT_PEER"}) {
      ASSERT_FALSE(Env(v).empty()) << v << " is not set: run this test through the Windows ctest";
      ASSERT_TRUE(fs::exists(Env(v))) << Env(v);
    }
    root = dir.path() / "root";
    local = dir.path() / "local";
    fs::create_directories(root);
    fs::create_directories(local);
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    dir.Write("root/" + name, bytes);
    return bytes;
  }
  TempDir dir;
  fs::path root, local;
};

}  // namespace

TEST_F(DownloadIntegration, FilesOfEverySizeArriveByteIdentical) {
  const size_t sizes[] = {0, 1, 879, 880, 881, 8800, 1 << 20, 50u << 20};
  std::vector<std::string> args;
  Server server = StartUpdateServer(root);
  ASSERT_GT(server.port, 0);
  args = {"127.0.0.1", std::to_string(server.port)};
  for (size_t size : sizes) {
    const std::string name = "f" + std::to_string(size) + ".bin";
    Put(name, RandomBytes(size, static_cast<unsigned>(size)));
    args.push_back(name);
    args.push_back(WinPath(local / name));
  }
  auto probe = StartProbe(args);
  std::string line;
  for (size_t size : sizes) {
    ASSERT_TRUE(probe->ReadLine(line, 120000)) << size;
    EXPECT_EQ(line.rfind("ok " + std::to_string(size) + " ", 0), 0u) << size << ": " << line;
    const std::string name = "f" + std::to_string(size) + ".bin";
    EXPECT_EQ(ReadFileBytes((local / name).string()), ReadFileBytes((root / name).string())) << size;
  }
  EXPECT_EQ(probe->Wait(30000), 0);
}

TEST_F(DownloadIntegration, GbkNameMissingFileAndUnsafeName) {
  const std::string gbkFile = Put(u8"资源/测试.txt", RandomBytes(3000, 7));
  dir.Write("x", "outside the served folder");
  Server server = StartUpdateServer(root);
  ASSERT_GT(server.port, 0);
  auto probe = StartProbe({"127.0.0.1", std::to_string(server.port), u8"资源\\测试.txt", WinPath(local / "gbk.txt"),
                           "nothere.txt", WinPath(local / "missing.txt"), "..\\x", WinPath(local / "x")});
  std::string line;
  ASSERT_TRUE(probe->WaitForLine("ok ", line, 30000));
  EXPECT_EQ(ReadFileBytes((local / "gbk.txt").string()), gbkFile);
  for (const char* what : {"missing", "unsafe"}) {
    ASSERT_TRUE(probe->WaitForLine("box ", line, 30000)) << what;
    EXPECT_EQ(line, "box 文件不存在") << what;
    ASSERT_TRUE(probe->WaitForLine("fail ", line, 30000)) << what;
  }
  EXPECT_EQ(probe->Wait(30000), 1);
  EXPECT_FALSE(fs::exists(local / "missing.txt"));
  EXPECT_FALSE(fs::exists(local / "x"));
}

TEST_F(DownloadIntegration, ServerKilledMidTransferThenBack) {
  Put("big.bin", RandomBytes(50u << 20, 1));
  const std::string small = Put("small.bin", RandomBytes(5000, 2));
  Server server = StartUpdateServer(root);
  ASSERT_GT(server.port, 0);
  const int port = server.port;
  auto probe = StartProbe({"--progress", "--pause-ms", "3000", "127.0.0.1", std::to_string(port), "big.bin",
                           WinPath(local / "big.bin"), "small.bin", WinPath(local / "small.bin")});
  std::string line;
  // Some way into the transfer, the server dies.
  bool under = false;
  while (probe->WaitForLine("progress ", line, 30000)) {
    if (std::atoll(line.c_str() + 9) > (1 << 20)) {
      under = true;
      break;
    }
  }
  ASSERT_TRUE(under) << "the transfer never got going";
  server.process->Signal(SIGKILL);
  server.process->Wait(5000);
  const auto killed = std::chrono::steady_clock::now();
  ASSERT_TRUE(probe->WaitForLine("fail ", line, 35000));
  const double took = SecondsSince(killed);
  EXPECT_LT(took, 5.0) << "the client noticed the dead server late";
  // Back on the same port before the probe's next download.
  Server again = StartUpdateServer(root, port);
  ASSERT_EQ(again.port, port);
  ASSERT_TRUE(probe->WaitForLine("ok ", line, 30000));
  EXPECT_EQ(ReadFileBytes((local / "small.bin").string()), small);
  EXPECT_EQ(probe->Wait(30000), 1);  // one of the two failed
  std::printf("server killed: the client failed %.2f s later\n", took);
}

TEST_F(DownloadIntegration, PeerThatStopsAnsweringThenARealServer) {
  const std::string small = Put("small.bin", RandomBytes(5000, 3));
  Server peer = StartServed({Env("SILENT_PEER"), "--port", "0", "--size", "100000", "--blocks", "3", "--linger", "60"});
  ASSERT_GT(peer.port, 0);
  const int port = peer.port;
  auto probe = StartProbe({"--stall-ms", "3000", "--pause-ms", "4000", "127.0.0.1", std::to_string(port),
                           "stuck.bin", WinPath(local / "stuck.bin"), "small.bin", WinPath(local / "small.bin")});
  const auto t0 = std::chrono::steady_clock::now();
  std::string line;
  ASSERT_TRUE(probe->WaitForLine("fail ", line, 40000));
  const double took = SecondsSince(t0);
  EXPECT_LT(took, 15.0);
  peer.process->Signal(SIGTERM);
  peer.process->Wait(5000);
  Server server = StartUpdateServer(root, port);
  ASSERT_EQ(server.port, port);
  ASSERT_TRUE(probe->WaitForLine("ok ", line, 30000));
  EXPECT_EQ(ReadFileBytes((local / "small.bin").string()), small);
  probe->Wait(30000);
  std::printf("silent peer: the client gave up after %.2f s (stall limit 3 s)\n", took);
}

TEST_F(DownloadIntegration, CancelMidTransferThenTheNextDownloadWorks) {
  Put("big.bin", RandomBytes(8u << 20, 4));
  const std::string small = Put("small.bin", RandomBytes(2000, 5));
  Server server = StartUpdateServer(root);
  ASSERT_GT(server.port, 0);
  auto probe = StartProbe({"--cancel-after", "100000", "127.0.0.1", std::to_string(server.port), "big.bin",
                           WinPath(local / "big.bin"), "small.bin", WinPath(local / "small.bin")});
  std::string line;
  ASSERT_TRUE(probe->WaitForLine("fail ", line, 30000));
  ASSERT_TRUE(probe->WaitForLine("ok ", line, 30000));
  EXPECT_EQ(ReadFileBytes((local / "small.bin").string()), small);
  EXPECT_LT(fs::file_size(local / "big.bin"), 8u << 20);
  probe->Wait(30000);
  // The server saw the cancel.
  server.process->Signal(SIGTERM);
  server.process->Wait(5000);
  bool cancelled = false;
  for (const auto& l : server.process->Lines()) cancelled |= l.find("cancelled") != std::string::npos;
  EXPECT_TRUE(cancelled) << "no transfer logged as cancelled";
}
