// The download client against an in-process transport that delivers the server's
// messages from its own thread, as the real one does.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "../portable/temp_dir.h"
#include "box_closer.h"
#include "fake_iocp_client.h"
#include "uFileDownloadClient.h"
#include "win/gbk_text.h"

namespace {

FakeIOCP* nextFake = nullptr;
HRESULT __stdcall FakeFactory(IIOCPClient** out) {
  *out = nextFake;
  return S_OK;
}
HRESULT __stdcall EmptyFactory(IIOCPClient** out) {
  *out = nullptr;
  return E_FAIL;
}

Bytes Pattern(size_t n, int seed = 0) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 131 + 7 + seed);
  return b;
}

Bytes FileBytes(const std::string& path) {
  const std::string s = ReadFileBytes(path);
  return Bytes(s.begin(), s.end());
}

std::vector<std::string> Expected(const std::string& path, int blockRequests, const std::string& last) {
  std::vector<std::string> v = {"FR:" + path};
  v.insert(v.end(), static_cast<size_t>(blockRequests), "BR");
  if (!last.empty()) v.push_back(last);
  return v;
}

struct Recorder {
  std::vector<std::pair<int32_t, int32_t>> progress;
  std::vector<std::string> completed;
  std::vector<DWORD> threads;
  std::function<void()> onProgress;
  void Progress(int32_t total, int32_t received) {
    progress.emplace_back(total, received);
    threads.push_back(GetCurrentThreadId());
    if (onProgress) onProgress();
  }
  void Complete(const char* path) {
    completed.emplace_back(path);
    threads.push_back(GetCurrentThreadId());
  }
};

// Runs `action` from a window timer after `ms`, i.e. from inside the client's wait.
std::function<void()> pendingTimerAction;

void CALLBACK RunPendingTimerAction(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto action = std::move(pendingTimerAction);
  if (action) action();
}

void AfterMs(UINT ms, std::function<void()> action) {
  pendingTimerAction = std::move(action);
  SetTimer(nullptr, 0, ms, RunPendingTimerAction);
}

class DownloadClient : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = new FakeIOCP;
    nextFake = fake;
    server.Attach(fake);
    client = new TFileDownLoadClient(&FakeFactory);
    client->SetServer("127.0.0.1", 6001);
    client->SetOnProgress(EventThunk<&Recorder::Progress>::Bind(&rec));
    client->SetOnComplete(EventThunk<&Recorder::Complete>::Bind(&rec));
  }
  void TearDown() override {
    if (client) client->Release();
    fake->Shutdown();
    delete fake;
  }
  bool Download(const std::string& remote, const std::string& local) {
    return client->DownloadFile(remote.c_str(), local.c_str()) != FALSE;
  }
  static double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
  }

  FakeIOCP* fake = nullptr;
  ScriptedFileServer server;
  TFileDownLoadClient* client = nullptr;
  Recorder rec;
  TempDir dir;
};

}  // namespace

TEST_F(DownloadClient, WorkedExamples) {
  struct Case {
    size_t size;
    int blockRequests;
    std::vector<std::pair<int32_t, int32_t>> progress;
  } cases[] = {
      {1000, 11, {{1000, 880}}},  // ten at once, one more after the first block
      {5, 5, {}},                 // fewer bytes than the window: one request per byte
      {880, 10, {}},              // one block completes it
      {8800,
       19,
       {{8800, 880},
        {8800, 1760},
        {8800, 2640},
        {8800, 3520},
        {8800, 4400},
        {8800, 5280},
        {8800, 6160},
        {8800, 7040},
        {8800, 7920}}},
  };
  for (const auto& c : cases) {
    const std::string name = "Versions" + std::to_string(c.size) + ".txt";
    server.files[name] = Pattern(c.size);
    const std::string local = dir.File("temp" + std::to_string(c.size) + ".dat");
    fake->ClearRecords();
    rec = Recorder{};
    EXPECT_TRUE(Download(name, local)) << c.size;
    EXPECT_EQ(FileBytes(local), server.files[name]) << c.size;
    EXPECT_EQ(Describe(fake->Sent()), Expected(name, c.blockRequests, "TD")) << c.size;
    EXPECT_EQ(rec.progress, c.progress) << c.size;
    EXPECT_EQ(rec.completed, std::vector<std::string>{local}) << c.size;
    for (DWORD t : rec.threads) EXPECT_EQ(t, GetCurrentThreadId()) << "handlers run on the window thread";
  }
}

// A handler of the owner's that fails is the owner's business: nothing of it crosses
// the handler's call, and the transfer goes on to its end.
TEST_F(DownloadClient, AHandlerThatThrowsNeitherCrossesTheCallNorEndsTheTransfer) {
  server.files["f"] = Pattern(5000);
  rec.onProgress = [] { throw std::runtime_error("the owner's handler failed"); };
  EXPECT_TRUE(Download("f", dir.File("x.dat")));
  EXPECT_EQ(FileBytes(dir.File("x.dat")), server.files["f"]);
  EXPECT_EQ(rec.progress.size(), 5u);
  EXPECT_EQ(client->GetLastFailure(), dfNone);
}

TEST_F(DownloadClient, FirstDownloadConnectsLaterOnesReuseTheConnection) {
  server.files["a"] = Pattern(10);
  EXPECT_TRUE(Download("a", dir.File("1")));
  EXPECT_EQ(fake->Calls(), (std::vector<std::string>{"SetHost:127.0.0.1", "SetPort:6001", "SetActive:1"}));
  fake->ClearRecords();
  client->SetServer("elsewhere.example", 7000);  // takes effect only at the next connect
  EXPECT_TRUE(Download("a", dir.File("2")));
  EXPECT_TRUE(fake->Calls().empty());
  EXPECT_EQ(FileBytes(dir.File("2")), server.files["a"]);
}

TEST_F(DownloadClient, MissingFileShowsTheBoxOnTheWindowThreadAndTouchesNothing) {
  const std::string existing = dir.Write("keep.dat", "old contents");
  BoxCloser closer("文件不存在");
  EXPECT_FALSE(Download("nothere.txt", existing));
  EXPECT_EQ(closer.seen(), 1);
  EXPECT_EQ(closer.ownerThread(), GetCurrentThreadId());
  EXPECT_EQ(client->GetLastFailure(), dfMissing);
  EXPECT_EQ(ReadFileBytes(existing), "old contents");
  EXPECT_FALSE(Download("nothere.txt", dir.File("new.dat")));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "new.dat"));
  EXPECT_EQ(Describe(fake->Sent()), (std::vector<std::string>{"FR:nothere.txt", "FR:nothere.txt"}));
}

TEST_F(DownloadClient, MessagesOfWrongSizeOrKindAreIgnored) {
  server.files["f"] = Pattern(1000);
  server.holdRequest = [&](const std::string& path) {
    fake->Deliver(Bytes(13, 12));  // a FileInfo one byte too long
    Bytes shortBlock(887, 0);
    shortBlock[0] = 14;
    fake->Deliver(shortBlock);          // a FileBlock one byte too short
    fake->Deliver(Bytes{99, 1, 2, 3});  // no such message
    server.AnswerRequest(path);
    return true;
  };
  EXPECT_TRUE(Download("f", dir.File("f")));
  EXPECT_EQ(FileBytes(dir.File("f")), server.files["f"]);
  EXPECT_EQ(Describe(fake->Sent()), Expected("f", 11, "TD"));
}

struct FaultCase {
  const char* what;
  size_t size;
  std::function<void(Bytes&, int)> bend;
  bool badLocalPath;
  bool result;
  std::vector<std::string> sentTail;  // the last messages the client sent
  int32_t failure;                    // what GetLastFailure says afterwards
};

TEST_F(DownloadClient, FaultsEndTheTransferWithFalse) {
  auto setDataLen = [](int32_t len, int at) {
    return [len, at](Bytes& b, int index) {
      if (index != at) return;
      b[4] = static_cast<uint8_t>(len);
      b[5] = static_cast<uint8_t>(len >> 8);
      b[6] = static_cast<uint8_t>(len >> 16);
      b[7] = static_cast<uint8_t>(static_cast<uint32_t>(len) >> 24);
    };
  };
  const FaultCase cases[] = {
      {"empty file completes at once", 0, nullptr, false, true, {"FR:f", "TD"}, dfNone},
      {"DataLen 881", 2000, setDataLen(881, 0), false, false, {"CT"}, dfBadData},
      {"DataLen -1", 2000, setDataLen(-1, 0), false, false, {"CT"}, dfBadData},
      {"a block past the announced size", 1000, setDataLen(800, 1), false, false, {"BR", "CT"}, dfBadData},
      {"local file cannot be created", 1000, nullptr, true, false, {"FR:f", "CT"}, dfWriteFailed},
  };
  for (const auto& c : cases) {
    server.files["f"] = Pattern(c.size);
    server.bendBlock = c.bend;
    fake->ClearRecords();
    const std::string local = c.badLocalPath ? dir.File("no-such-folder\\x.dat") : dir.File("x.dat");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Download("f", local), c.result) << c.what;
    EXPECT_LT(Seconds(t0), 2.0) << c.what << ": the fault is seen at once, not by the stall limit";
    const auto sent = Describe(fake->Sent());
    ASSERT_GE(sent.size(), c.sentTail.size()) << c.what;
    EXPECT_EQ(
        std::vector<std::string>(sent.end() - static_cast<std::ptrdiff_t>(c.sentTail.size()), sent.end()),
        c.sentTail)
        << c.what;
    if (!c.badLocalPath) {
      // Closed: another writer can open it at once.
      HANDLE h =
          CreateFileW(gbk::ToWide(local).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      EXPECT_NE(h, INVALID_HANDLE_VALUE) << c.what;
      CloseHandle(h);
    }
    if (!c.badLocalPath) {
      EXPECT_LE(FileBytes(local).size(), c.size) << c.what << ": never more than announced";
    }
    if (c.size == 0) {
      EXPECT_EQ(FileBytes(local).size(), 0u);
    }
    EXPECT_EQ(client->State(), TFileDownLoadClient::Idle) << c.what;
    EXPECT_EQ(client->GetLastFailure(), c.failure) << c.what;
  }
}

TEST_F(DownloadClient, DroppedConnectionFailsPromptlyAndTheNextDownloadReconnects) {
  server.files["big"] = Pattern(50000);
  server.bendBlock = [&](Bytes&, int index) {
    if (index == 2) fake->DropAfterQueued();
  };
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download("big", dir.File("big")));
  EXPECT_LT(Seconds(t0), 2.0);
  EXPECT_EQ(client->State(), TFileDownLoadClient::Idle);
  EXPECT_EQ(client->GetLastFailure(), dfDropped);

  server.bendBlock = nullptr;
  fake->ClearRecords();
  EXPECT_TRUE(Download("big", dir.File("big")));
  EXPECT_EQ(fake->Calls(), (std::vector<std::string>{"SetHost:127.0.0.1", "SetPort:6001", "SetActive:1"}));
  EXPECT_EQ(FileBytes(dir.File("big")), server.files["big"]);
}

TEST_F(DownloadClient, ServerThatStopsAnsweringFailsAfterTheStallLimit) {
  server.files["f"] = Pattern(50000);
  server.answerBlocks = 3;
  client->SetRateWindow(300);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download("f", dir.File("f")));
  const double took = Seconds(t0);
  EXPECT_GE(took, 0.29);
  EXPECT_LT(took, 2.0);
  EXPECT_EQ(Describe(fake->Sent()).back(), "CT");
  EXPECT_EQ(FileBytes(dir.File("f")).size(), 3u * 880u);  // what arrived stays on disk
  EXPECT_EQ(client->GetLastFailure(), dfTooSlow);
}

TEST_F(DownloadClient, LimitsRefuseAnOversizedFileAtOnceAndEndALongCall) {
  server.files["LastVer.txt"] = Pattern(5000);
  client->SetLimits(4096, 0);
  const std::string local = dir.File("temp.dat");
  EXPECT_FALSE(Download("LastVer.txt", local));
  EXPECT_EQ(client->GetLastFailure(), dfTooLarge);
  // Not a block asked for, not a byte written.
  EXPECT_EQ(Describe(fake->Sent()), (std::vector<std::string>{"FR:LastVer.txt", "CT"}));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "temp.dat"));
  server.files["small"] = Pattern(4096);
  EXPECT_TRUE(Download("small", local));
  EXPECT_EQ(client->GetLastFailure(), dfNone);

  // A call may not take longer than allowed, however lively the server looks.
  server.files["f"] = Pattern(50000);
  server.answerBlocks = 3;
  client->SetLimits(0, 200);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download("f", dir.File("f")));
  EXPECT_LT(Seconds(t0), 2.0);
  EXPECT_EQ(client->GetLastFailure(), dfTimeLimit);
}

TEST_F(DownloadClient, StopFromTheWindowCancels) {
  server.files["f"] = Pattern(50000);
  server.answerBlocks = 2;
  AfterMs(100, [&] { client->Stop(); });
  EXPECT_FALSE(Download("f", dir.File("f")));
  EXPECT_EQ(Describe(fake->Sent()).back(), "CT");
  EXPECT_EQ(FileBytes(dir.File("f")).size(), 2u * 880u);
}

TEST_F(DownloadClient, MessagesNoTransferExpectsNeverWriteAFile) {
  server.files["a"] = Pattern(100);
  const std::string local = dir.File("a");
  ASSERT_TRUE(Download("a", local));
  // Blocks and an unasked-for FileInfo arriving while idle.
  fake->Deliver(ScriptedFileServer::ToBytes(filetrans::EncodeFileBlock(Pattern(10, 5).data(), 10)));
  fake->Deliver(ScriptedFileServer::ToBytes(filetrans::EncodeFileInfo(5, false)));
  fake->Deliver(ScriptedFileServer::ToBytes(filetrans::EncodeFileBlock(Pattern(5, 9).data(), 5)));
  fake->WaitDelivered();
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  MSG msg;
  while (std::chrono::steady_clock::now() < until) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
  EXPECT_EQ(FileBytes(local), server.files["a"]);
  EXPECT_EQ(client->State(), TFileDownLoadClient::Idle);
}

TEST_F(DownloadClient, AnswerToAnAbandonedRequestIsNotTakenForTheNextOne) {
  server.files["slow"] = Pattern(5);
  server.files["fast"] = Pattern(3000, 1);
  bool holdSlow = true;
  server.holdRequest = [&](const std::string& path) {
    if (path == "slow" && holdSlow) return true;  // no answer yet
    if (path == "fast") {
      server.AnswerRequest("slow");  // the late answer to the abandoned request
      server.AnswerRequest("fast");
      return true;
    }
    return false;
  };
  AfterMs(100, [&] { client->Stop(); });
  EXPECT_FALSE(Download("slow", dir.File("slow")));
  holdSlow = false;
  EXPECT_TRUE(Download("fast", dir.File("fast")));
  EXPECT_EQ(FileBytes(dir.File("fast")), server.files["fast"]);
}

TEST_F(DownloadClient, ReleasedByItsOwnerMidTransfer) {
  server.files["f"] = Pattern(50000);
  server.answerBlocks = 2;
  const std::string local = dir.File("f");
  TFileDownLoadClient* raw = client;
  rec.onProgress = [&] {
    if (client) {
      client->Release();  // the owner lets go, from a window message
      client = nullptr;
    }
  };
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(raw->DownloadFile("f", local.c_str()));
  EXPECT_LT(Seconds(t0), 2.0);
  const auto calls = fake->Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], "SetActive:0");
  EXPECT_EQ(calls.back(), "Destroyed");
  for (const auto& m : Describe(fake->Sent())) EXPECT_NE(m, "CT");
  HANDLE h = CreateFileW(gbk::ToWide(local).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << "the local file was closed";
  CloseHandle(h);
}

TEST_F(DownloadClient, UnreachableServer) {
  // Refused at once: the wait ends with the attempt, nothing is sent or written.
  fake->connectWorks = false;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download("f", dir.File("f")));
  EXPECT_LT(Seconds(t0), 1.0);
  EXPECT_TRUE(fake->Sent().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "f"));

  // Never answering: five seconds, serving window messages meanwhile.
  fake->connectHangs = true;
  bool served = false;
  AfterMs(50, [&] { served = true; });
  t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(Download("f", dir.File("f")));
  const double took = Seconds(t0);
  EXPECT_GE(took, 4.9);
  EXPECT_LT(took, 6.5);
  EXPECT_TRUE(served);
  EXPECT_TRUE(fake->Sent().empty());
}

TEST(DownloadClientConstruction, NoTransportObjectIsAnError) {
  EXPECT_THROW(NewFileDownLoadClient(&EmptyFactory), TransportError);
}
