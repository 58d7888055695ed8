// The TCP client of Durnix.dll as the updater sees it. The DLL's one export,
// __GET_IOCP_CLIENT_CLASS, makes a new client object with one reference.
//
// The object is reference-counted (IUnknown: query, add-ref, release in slots 0-2),
// and its operations sit in fixed slots after those three; the updater relies on
// slots 1, 2, 3, 6, 8 and 13, so none may move. All methods are __stdcall.
//
// Messages are whole: Send hands one message to the server, and the receive handler
// gets each message from the server whole, on the client's receive thread.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <cstdint>

// The receive handler: the code and the object it is bound to (passed back as
// `context`). Called on the DLL's receive thread with one whole message.
typedef void(__stdcall* TIOCPReceiveProc)(void* context, const uint8_t* data, int32_t len);
// Called on the receive thread once the connection has ended (closed by the peer,
// broken, or refused by the framing), after the last message was delivered.
typedef void(__stdcall* TIOCPDisconnectProc)(void* context);

// {6E1B7C2A-4D0F-4C7B-9A41-2B5D8F3E9C10}
inline const GUID IID_IIOCPClient = {
    0x6e1b7c2a, 0x4d0f, 0x4c7b, {0x9a, 0x41, 0x2b, 0x5d, 0x8f, 0x3e, 0x9c, 0x10}};

struct IIOCPClient : public IUnknown {
  // 1. True while the connection is up; false again once the peer closed it or it broke.
  virtual BOOL __stdcall IsConnected() = 0;
  // 2. True starts connecting in the background (the outcome shows in IsConnected);
  //    false closes the connection and waits for the receive thread to end, so no
  //    handler runs after it returns (unless called from a handler itself).
  virtual void __stdcall SetActive(BOOL active) = 0;
  // 3. The server port, used at the next connect.
  virtual void __stdcall SetPort(uint16_t port) = 0;
  // 4.
  virtual uint16_t __stdcall GetPort() = 0;
  // 5. Whether SetActive(true) is in force (connecting or connected).
  virtual BOOL __stdcall GetActive() = 0;
  // 6. The server: a host name or a dotted address, zero-terminated ANSI text.
  virtual void __stdcall SetHost(const char* host) = 0;
  // 7. Copies the host (zero-terminated, cut to the buffer); returns its full length.
  virtual int32_t __stdcall GetHost(char* buffer, int32_t size) = 0;
  // 8. The receive handler, bound to `context`; a null proc removes it.
  virtual void __stdcall SetOnReceive(TIOCPReceiveProc proc, void* context) = 0;
  // 9. The disconnect handler, bound to `context`; a null proc removes it.
  virtual void __stdcall SetOnDisconnect(TIOCPDisconnectProc proc, void* context) = 0;
  // 10. The largest message accepted from the server; a longer frame closes the
  //     connection. Default 65536.
  virtual void __stdcall SetMaxMessageSize(uint32_t bytes) = 0;
  // 11.
  virtual uint32_t __stdcall GetMaxMessageSize() = 0;
  // 12. The WinSock error that ended the last connection or connect attempt, or 0.
  virtual int32_t __stdcall GetLastSocketError() = 0;
  // 13. Sends one message (framed). Safe from any thread. False when not connected
  //     or the connection failed while sending.
  virtual BOOL __stdcall Send(const void* data, int32_t len) = 0;
};

// The factory export. Stores a new client with one reference in *client; S_OK, or an
// error with *client null.
typedef HRESULT(__stdcall* TGetIOCPClientClass)(IIOCPClient** client);

#ifdef DURNIX_BUILDING_DLL
#define DURNIX_API __declspec(dllexport)
#else
#define DURNIX_API __declspec(dllimport)
#endif
extern "C" DURNIX_API HRESULT __stdcall __GET_IOCP_CLIENT_CLASS(IIOCPClient** client);
