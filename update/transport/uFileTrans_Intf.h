// The updater's download client, used only through this reference-counted interface.
// Operations sit in fixed slots after IUnknown's three; all are __stdcall and are
// called on the window thread that created the client.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <cstdint>

// Handlers bound to an object: the code and the object, passed back as `Data`.
// Progress gets (Total, Received) in bytes; completion gets the local path (GBK).
struct TProgressEvent {
  void(__stdcall* Code)(void* Data, int32_t Total, int32_t Received);
  void* Data;
};
struct TCompleteEvent {
  void(__stdcall* Code)(void* Data, const char* LocalPath);
  void* Data;
};

// Binds a member function of T to a handler: Bind<&TForm1::ShowDownloadProgress>(form).
template <auto Member>
struct EventThunk;

// No exception leaves a handler: the caller is a library's code.
template <class T, void (T::*Member)(int32_t, int32_t)>
struct EventThunk<Member> {
  static void __stdcall Call(void* data, int32_t total, int32_t received) noexcept {
    try {
      (static_cast<T*>(data)->*Member)(total, received);
    } catch (...) {
    }
  }
  static TProgressEvent Bind(T* object) { return {&Call, object}; }
};

template <class T, void (T::*Member)(const char*)>
struct EventThunk<Member> {
  static void __stdcall Call(void* data, const char* localPath) noexcept {
    try {
      (static_cast<T*>(data)->*Member)(localPath);
    } catch (...) {
    }
  }
  static TCompleteEvent Bind(T* object) { return {&Call, object}; }
};

// Why a DownloadFile returned FALSE (GetLastFailure).
enum TDownloadFailure : int32_t {
  dfNone = 0,
  dfNoConnection = 1,  // no connection to the server within the wait
  dfMissing = 2,       // the server has no such file
  dfDropped = 3,       // the connection broke during the transfer
  dfTooSlow = 4,       // under 1 KiB/s over the last 30 s (or nothing at all)
  dfTooLarge = 5,      // the server announced more bytes than allowed
  dfWriteFailed = 6,   // the local file could not be made or written
  dfStopped = 7,       // Stop, or the owner let go
  dfBadData = 8,       // the server sent what no transfer can hold
  dfTimeLimit = 9,     // the whole call took longer than allowed
};

// {9C3F0E51-7A2B-4E8D-B5C6-1D2E3F4A5B6C}
inline const GUID IID_IFileDownLoadClient = {
    0x9c3f0e51, 0x7a2b, 0x4e8d, {0xb5, 0xc6, 0x1d, 0x2e, 0x3f, 0x4a, 0x5b, 0x6c}};

struct IFileDownLoadClient : public IUnknown {
  // 1, 2. Whether the connection is up; writing true connects and waits (up to 5 s,
  //       serving window messages), false closes it.
  virtual BOOL __stdcall GetConnected() = 0;
  virtual void __stdcall SetConnected(BOOL value) = 0;
  // 3-6. The progress and completion handlers (Code null: none).
  virtual TProgressEvent __stdcall GetOnProgress() = 0;
  virtual void __stdcall SetOnProgress(TProgressEvent handler) = 0;
  virtual TCompleteEvent __stdcall GetOnComplete() = 0;
  virtual void __stdcall SetOnComplete(TCompleteEvent handler) = 0;
  // 7. Server host (name or dotted address, GBK) and port, used at the next connect.
  virtual void __stdcall SetServer(const char* Host, uint16_t Port) = 0;
  // 8. Fetches RemotePath into LocalPath, serving window messages while it waits;
  //    TRUE only when the whole file was written.
  virtual BOOL __stdcall DownloadFile(const char* RemotePath, const char* LocalPath) = 0;
  // 9. Cancels the transfer under way; its DownloadFile returns FALSE.
  virtual void __stdcall Stop() = 0;
  // 10. Limits of the DownloadFile calls that follow: the largest file taken (a larger
  //     announced size fails the call at once; 0: any), and how long one call may take
  //     in all, connecting included (0: no limit).
  virtual void __stdcall SetLimits(int32_t MaxFileBytes, uint32_t MaxCallMs) = 0;
  // 11. Why the last DownloadFile returned FALSE (a TDownloadFailure); dfNone after one
  //     that succeeded.
  virtual int32_t __stdcall GetLastFailure() = 0;
};
