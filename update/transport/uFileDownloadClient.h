// The download client: fetches one file at a time from the update server over the
// Durnix TCP client, ten block requests ahead, and writes it to a local path.
//
// Messages from the server arrive on the transport's receive thread. They are only
// queued there; the client's hidden window takes them on the thread that created
// the client (update's window thread), which is where the file is written, block
// requests are sent, and the progress handler and message box run. So the transfer
// state has a single owner thread and Stop never races the receive path.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "uFileTrans_Intf.h"
#include "uIOCP_Intf.h"
#include "win/com_ptr.h"
#include "wire/uFileTrans_Struc.h"

// The transport library could not give the client a connection object.
class TransportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TFileDownLoadClient final : public IFileDownLoadClient {
 public:
  enum TState : uint8_t { Idle = 0, Requested = 1, Receiving = 2 };

  // Takes a transport from `factory` (normally Durnix's __GET_IOCP_CLIENT_CLASS) and
  // starts with one reference. Throws TransportError when the factory gives none.
  explicit TFileDownLoadClient(TGetIOCPClientClass factory);

  // IUnknown
  HRESULT __stdcall QueryInterface(REFIID riid, void** object) override;
  ULONG __stdcall AddRef() override;
  ULONG __stdcall Release() override;

  // IFileDownLoadClient
  BOOL __stdcall GetConnected() override;
  void __stdcall SetConnected(BOOL value) override;
  TProgressEvent __stdcall GetOnProgress() override;
  void __stdcall SetOnProgress(TProgressEvent handler) override;
  TCompleteEvent __stdcall GetOnComplete() override;
  void __stdcall SetOnComplete(TCompleteEvent handler) override;
  void __stdcall SetServer(const char* Host, uint16_t Port) override;
  BOOL __stdcall DownloadFile(const char* RemotePath, const char* LocalPath) override;
  void __stdcall Stop() override;
  void __stdcall SetLimits(int32_t MaxFileBytes, uint32_t MaxCallMs) override;
  int32_t __stdcall GetLastFailure() override { return failure_; }

  // A transfer fails when, over the last rate window, it got less than 1 KiB for each
  // second of the window: a silent server, or one that drips a byte now and then.
  static constexpr DWORD kDefaultRateWindowMs = 30000;
  static constexpr int64_t kMinBytesPerSecond = 1024;
  // How long a connect may take.
  static constexpr DWORD kConnectWaitMs = 5000;
  void SetRateWindow(DWORD ms) { rateWindowMs_ = ms; }
  TState State() const { return FState; }

 private:
  ~TFileDownLoadClient();

  static void __stdcall ReceiveFromTransport(void* context, const uint8_t* data, int32_t len);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  void Connect();
  void DrainInbox();
  void HandleMessage(const std::vector<uint8_t>& message);
  void HandleFileInfo(const uint8_t* data, size_t len);
  void HandleFileBlock(const uint8_t* data, size_t len);
  void SendBlockRequest();
  void Send(const uint8_t* data, size_t len);
  void Complete();
  // Ends the transfer under way without success: CancelTransfer (if asked and the
  // connection is up), local file closed, state Idle, result false.
  void Fail(bool sendCancel, TDownloadFailure why);
  // Whether the transfer has fallen under the rate over the last window.
  bool TooSlow(DWORD now);
  void CloseLocalFile();
  // Writes the gathered blocks; false when the write failed.
  bool FlushLocalFile();
  void ShowMissingFile();

  // The transfer's fields; touched only on the window thread.
  ComPtr<IIOCPClient> FTransport;
  TProgressEvent FOnProgress{};
  TCompleteEvent FOnComplete{};
  TState FState = Idle;
  HANDLE FLocalFile = INVALID_HANDLE_VALUE;
  int32_t FFileSize = 0;
  int32_t FReceived = 0;
  std::string FLocalPath;
  int32_t FRequestCount = 0;
  std::string FHost;
  uint16_t FPort = 0;
  bool FResult = false;
  int32_t FBlockWindow = 10;

  LONG refs_ = 1;
  HWND window_ = nullptr;
  DWORD rateWindowMs_ = kDefaultRateWindowMs;
  // What the current transfer had received when, sampled at most every tenth of the
  // window; the oldest is the window's start.
  std::deque<std::pair<DWORD, int32_t>> rateSamples_;
  DWORD transferStart_ = 0;
  int32_t maxFileBytes_ = 0;
  uint32_t maxCallMs_ = 0;
  TDownloadFailure failure_ = dfNone;
  // Every FileRequest gets exactly one FileInfo, in order; a FileInfo that arrives
  // while later requests are still unanswered belongs to an abandoned request.
  int32_t unansweredRequests_ = 0;
  // Which DownloadFile call the current transfer belongs to (calls can nest through
  // the window messages they serve).
  uint32_t transferId_ = 0;

  filetrans::TFileBlock blockBuffer_;
  static constexpr size_t kWriteChunk = 64 * 1024;
  std::vector<uint8_t> pendingWrite_;

  // Filled by the transport's thread, emptied by the window thread.
  std::mutex inboxLock_;
  std::deque<std::vector<uint8_t>> inbox_;
  bool wakePosted_ = false;
};

// A new download client over `factory`'s transport, as its interface.
ComPtr<IFileDownLoadClient> NewFileDownLoadClient(TGetIOCPClientClass factory);
