#include "uFileDownloadClient.h"

#include <mutex>

#include "win/gbk_text.h"
#include "win/message_pump.h"
#include "win/module_path.h"
#include "wire/uFileTrans_Struc.h"

namespace {

constexpr UINT kInboxMessage = WM_APP + 0x51;
constexpr wchar_t kWindowClass[] = L"GyrelotFileDownLoadClient";

void RegisterWindowClass(WNDPROC proc) {
  static std::once_flag once;
  std::call_once(once, [proc] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
  });
}

// Waits up to 1 ms, waking at once when a window message arrives.
void WaitAMoment() {
  MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace

TFileDownLoadClient::TFileDownLoadClient(TGetIOCPClientClass factory) {
  IIOCPClient* transport = nullptr;
  const HRESULT hr = factory ? factory(&transport) : E_POINTER;
  if (FAILED(hr) || transport == nullptr) {
    if (transport) transport->Release();
    throw TransportError("the transport library gave no connection object (result 0x" + [](HRESULT v) {
      char buf[16];
      wsprintfA(buf, "%08lX", static_cast<unsigned long>(v));
      return std::string(buf);
    }(hr) + ")");
  }
  FTransport = ComPtr<IIOCPClient>(transport);

  RegisterWindowClass(&WindowProc);
  window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) throw TransportError("cannot create the download client's window");
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  FTransport->SetOnReceive(&ReceiveFromTransport, this);
  FBlockWindow = 10;
}

TFileDownLoadClient::~TFileDownLoadClient() {
  // After SetActive(false) returns the transport calls no handler any more, so the
  // inbox and the window can go.
  FTransport->SetActive(FALSE);
  FTransport->SetOnReceive(nullptr, nullptr);
  FTransport.Reset();
  CloseLocalFile();
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

HRESULT __stdcall TFileDownLoadClient::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IFileDownLoadClient)) {
    *object = static_cast<IFileDownLoadClient*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG __stdcall TFileDownLoadClient::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG __stdcall TFileDownLoadClient::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

BOOL __stdcall TFileDownLoadClient::GetConnected() {
  return FTransport->IsConnected();
}

void __stdcall TFileDownLoadClient::SetConnected(BOOL value) {
  if (value) {
    FTransport->SetHost(FHost.c_str());
    FTransport->SetPort(FPort);
    Connect();
  } else {
    FTransport->SetActive(FALSE);
  }
}

TProgressEvent __stdcall TFileDownLoadClient::GetOnProgress() {
  return FOnProgress;
}
void __stdcall TFileDownLoadClient::SetOnProgress(TProgressEvent handler) {
  FOnProgress = handler;
}
TCompleteEvent __stdcall TFileDownLoadClient::GetOnComplete() {
  return FOnComplete;
}
void __stdcall TFileDownLoadClient::SetOnComplete(TCompleteEvent handler) {
  FOnComplete = handler;
}

void __stdcall TFileDownLoadClient::SetServer(const char* Host, uint16_t Port) {
  FHost = Host ? Host : "";
  FPort = Port;
}

void TFileDownLoadClient::Connect() {
  FTransport->SetActive(TRUE);
  const DWORD start = GetTickCount();
  while (!FTransport->IsConnected()) {
    if (GetTickCount() - start >= kConnectWaitMs) break;
    // The transport gives up by itself on a refused connection or an unknown host;
    // waiting out the rest of the five seconds would only keep the user waiting.
    if (!FTransport->GetActive()) break;
    WaitAMoment();
    if (!winapp::ServePendingMessages()) break;
  }
  if (FTransport->IsConnected()) {
    // A new connection: nothing from an earlier one is still owed or still valid.
    std::lock_guard<std::mutex> lock(inboxLock_);
    inbox_.clear();
    unansweredRequests_ = 0;
  }
}

BOOL __stdcall TFileDownLoadClient::DownloadFile(const char* RemotePath, const char* LocalPath) {
  // Held for the whole call: the owner may release the client from a window message
  // served below, and the object must outlive this frame.
  ComPtr<IFileDownLoadClient> grip(this);
  AddRef();

  FResult = false;
  failure_ = dfNone;
  if (FState != Idle) Stop();
  failure_ = dfNone;
  const DWORD callStart = GetTickCount();
  if (!FTransport->IsConnected()) {
    FTransport->SetHost(FHost.c_str());
    FTransport->SetPort(FPort);
    Connect();
  }
  if (!FTransport->IsConnected()) {
    failure_ = dfNoConnection;
    return FALSE;
  }

  const uint32_t myTransfer = ++transferId_;
  FLocalPath = LocalPath ? LocalPath : "";
  FFileSize = 0;
  FReceived = 0;
  FState = Requested;  // before the request: a fast reply must find it
  ++unansweredRequests_;
  transferStart_ = GetTickCount();
  rateSamples_.clear();
  rateSamples_.emplace_back(transferStart_, 0);
  const auto request = filetrans::EncodeFileRequest(RemotePath ? RemotePath : "");
  Send(request.data(), request.size());

  while (FState != Idle && transferId_ == myTransfer) {
    WaitAMoment();
    if (!winapp::ServePendingMessages()) {
      if (FState != Idle && transferId_ == myTransfer) Fail(true, dfStopped);
      break;
    }
    DrainInbox();
    if (FState == Idle || transferId_ != myTransfer) break;
    if (InterlockedCompareExchange(&refs_, 0, 0) == 1) {
      // Only this call still holds the client: its owner let go mid-transfer. End
      // as destruction does: connection and file closed, nothing more sent.
      FTransport->SetActive(FALSE);
      CloseLocalFile();
      FState = Idle;
      failure_ = dfStopped;
      break;
    }
    if (!FTransport->IsConnected()) {
      // Everything the connection delivered is in the inbox by now.
      DrainInbox();
      if (FState != Idle && transferId_ == myTransfer) Fail(false, dfDropped);
      break;
    }
    const DWORD now = GetTickCount();
    if (maxCallMs_ != 0 && now - callStart >= maxCallMs_) {
      Fail(true, dfTimeLimit);
      break;
    }
    if (TooSlow(now)) {
      Fail(true, dfTooSlow);
      break;
    }
  }
  if (transferId_ != myTransfer && failure_ == dfNone) failure_ = dfStopped;
  return FResult && transferId_ == myTransfer ? TRUE : FALSE;
}

bool TFileDownLoadClient::TooSlow(DWORD now) {
  if (rateSamples_.empty() || now - rateSamples_.back().first >= rateWindowMs_ / 10) {
    rateSamples_.emplace_back(now, FReceived);
  }
  // The oldest sample kept is the newest one at least a window old.
  while (rateSamples_.size() >= 2 && now - rateSamples_[1].first >= rateWindowMs_) rateSamples_.pop_front();
  if (now - transferStart_ < rateWindowMs_) return false;  // a window has not passed yet
  const int64_t got = static_cast<int64_t>(FReceived) - rateSamples_.front().second;
  const int64_t needed = kMinBytesPerSecond * static_cast<int64_t>(now - rateSamples_.front().first) / 1000;
  return got < needed;
}

void __stdcall TFileDownLoadClient::Stop() {
  Fail(true, dfStopped);
}

void __stdcall TFileDownLoadClient::SetLimits(int32_t MaxFileBytes, uint32_t MaxCallMs) {
  maxFileBytes_ = MaxFileBytes > 0 ? MaxFileBytes : 0;
  maxCallMs_ = MaxCallMs;
}

void TFileDownLoadClient::Fail(bool sendCancel, TDownloadFailure why) {
  if (sendCancel && FTransport->IsConnected()) {
    const auto cancel = filetrans::EncodeSignal(filetrans::kCancelTransfer);
    Send(cancel.data(), cancel.size());
  }
  CloseLocalFile();
  FResult = false;
  if (FState != Idle || failure_ == dfNone) failure_ = why;
  FState = Idle;
}

void TFileDownLoadClient::CloseLocalFile() {
  // What arrived stays on disk, as far as it can be written.
  FlushLocalFile();
  if (FLocalFile != INVALID_HANDLE_VALUE) CloseHandle(FLocalFile);
  FLocalFile = INVALID_HANDLE_VALUE;
  pendingWrite_.clear();
}

bool TFileDownLoadClient::FlushLocalFile() {
  if (pendingWrite_.empty() || FLocalFile == INVALID_HANDLE_VALUE) return true;
  DWORD written = 0;
  const bool ok = WriteFile(FLocalFile, pendingWrite_.data(), static_cast<DWORD>(pendingWrite_.size()),
                            &written, nullptr) &&
                  written == pendingWrite_.size();
  pendingWrite_.clear();
  return ok;
}

void TFileDownLoadClient::Send(const uint8_t* data, size_t len) {
  FTransport->Send(data, static_cast<int32_t>(len));
}

void __stdcall TFileDownLoadClient::ReceiveFromTransport(void* context, const uint8_t* data, int32_t len) {
  auto* self = static_cast<TFileDownLoadClient*>(context);
  if (data == nullptr || len <= 0) return;
  try {
    std::lock_guard<std::mutex> lock(self->inboxLock_);
    self->inbox_.emplace_back(data, data + len);
    if (!self->wakePosted_) {
      self->wakePosted_ = PostMessageW(self->window_, kInboxMessage, 0, 0) != FALSE;
    }
  } catch (...) {
    // Out of memory on the transport's thread: the message is lost and the transfer
    // runs into its stall limit, which fails it cleanly.
  }
}

LRESULT CALLBACK TFileDownLoadClient::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kInboxMessage) {
    auto* self = reinterpret_cast<TFileDownLoadClient*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) self->DrainInbox();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void TFileDownLoadClient::DrainInbox() {
  for (;;) {
    std::vector<uint8_t> message;
    {
      std::lock_guard<std::mutex> lock(inboxLock_);
      if (inbox_.empty()) {
        wakePosted_ = false;
        return;
      }
      message = std::move(inbox_.front());
      inbox_.pop_front();
    }
    try {
      HandleMessage(message);
    } catch (...) {
      // Out of memory, or a progress handler that failed: the transfer ends here,
      // and nothing leaves this path (it runs inside window procedures).
      if (FState != Idle) Fail(true, dfWriteFailed);
    }
  }
}

void TFileDownLoadClient::HandleMessage(const std::vector<uint8_t>& message) {
  switch (message[0]) {
    case filetrans::kFileInfo: HandleFileInfo(message.data(), message.size()); break;
    case filetrans::kFileBlock: HandleFileBlock(message.data(), message.size()); break;
    default: break;  // no other message comes from the server
  }
}

void TFileDownLoadClient::HandleFileInfo(const uint8_t* data, size_t len) {
  filetrans::TFileInfo info;
  if (!filetrans::DecodeFileInfo(data, len, info)) return;
  if (unansweredRequests_ > 0) --unansweredRequests_;
  // The answer to an abandoned request, or one nobody asked for: never touch a file.
  if (unansweredRequests_ != 0 || FState != Requested) return;

  if (info.Missing != 0) {
    failure_ = dfMissing;
    FState = Idle;
    ShowMissingFile();
    return;
  }
  if (info.FileSize < 0) {
    Fail(true, dfBadData);
    return;
  }
  if (maxFileBytes_ != 0 && info.FileSize > maxFileBytes_) {
    // Refused before anything is written or requested: a server that announces more
    // than such a file can hold is not to be waited for.
    Fail(true, dfTooLarge);
    return;
  }
  const std::wstring path = gbk::ToWide(FLocalPath);
  FLocalFile =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (FLocalFile == INVALID_HANDLE_VALUE) {
    Fail(true, dfWriteFailed);
    return;
  }
  FState = Receiving;
  FFileSize = info.FileSize;
  FReceived = 0;
  FRequestCount = 1;
  if (FFileSize == 0) {
    // Nothing to request: an empty file is complete as soon as it exists.
    Complete();
    return;
  }
  for (int32_t i = 0; i < FBlockWindow; ++i) SendBlockRequest();
}

void TFileDownLoadClient::SendBlockRequest() {
  // Counted against the size in bytes, not in blocks: a file of ten bytes or more
  // starts with ten requests, a smaller one with one per byte.
  if (FRequestCount > FFileSize) return;
  const auto request = filetrans::EncodeSignal(filetrans::kBlockRequest);
  Send(request.data(), request.size());
  ++FRequestCount;
}

void TFileDownLoadClient::HandleFileBlock(const uint8_t* data, size_t len) {
  filetrans::TFileBlock& block = blockBuffer_;
  if (!filetrans::DecodeFileBlock(data, len, block)) return;
  if (FState != Receiving) return;  // after Stop or after the last block: never written

  if (!filetrans::BlockDataLenValid(block) || block.DataLen > FFileSize - FReceived) {
    Fail(true, dfBadData);
    return;
  }
  // Blocks are gathered and written 64 KiB at a time: one write call per 880-byte
  // block costs more than the transfer itself.
  pendingWrite_.insert(pendingWrite_.end(), block.Data, block.Data + block.DataLen);
  if (pendingWrite_.size() >= kWriteChunk && !FlushLocalFile()) {
    Fail(true, dfWriteFailed);
    return;
  }
  FReceived += block.DataLen;
  if (FReceived == FFileSize) {
    Complete();
    return;
  }
  SendBlockRequest();
  if (FOnProgress.Code) FOnProgress.Code(FOnProgress.Data, FFileSize, FReceived);
}

void TFileDownLoadClient::Complete() {
  // Closed and recorded before the state reads Idle: the waiting DownloadFile returns
  // at once, and its caller copies the file.
  const bool flushed = FlushLocalFile();
  const bool closed = FLocalFile == INVALID_HANDLE_VALUE || CloseHandle(FLocalFile);
  FLocalFile = INVALID_HANDLE_VALUE;
  if (!flushed || !closed) {
    Fail(true, dfWriteFailed);
    return;
  }
  const auto done = filetrans::EncodeSignal(filetrans::kTransferDone);
  Send(done.data(), done.size());
  if (FOnComplete.Code) FOnComplete.Code(FOnComplete.Data, FLocalPath.c_str());
  FResult = true;
  failure_ = dfNone;
  FState = Idle;
}

void TFileDownLoadClient::ShowMissingFile() {
  const std::wstring text = gbk::ToWide("文件不存在");
  const std::wstring caption = winapp::ProgramName();
  MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK);
}

ComPtr<IFileDownLoadClient> NewFileDownLoadClient(TGetIOCPClientClass factory) {
  return ComPtr<IFileDownLoadClient>(new TFileDownLoadClient(factory));
}
