// Peltrix.dll as Gyrelot sees it: a UDP client that sends one record per datagram and
// hands every received datagram to a handler on a thread of its own.
//
// Reference-counted (IUnknown in slots 0-2, no interface id of its own); the declared
// operations sit in fixed slots from 3, and the game calls slots 5, 8 and 10, so none
// may move. All methods are __stdcall.
//
// Addresses are IPv4 in one int32 whose most significant byte is the first octet:
// 127.0.0.1 is 2130706433.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <cstdint>

// The receive handler, bound to `context`: once per received datagram, on the client's
// receive thread, with the sender and the datagram's bytes and length. The bytes are
// valid only during the call. In the 32-bit build `data` and `len` are the two 32-bit
// words after the port; the 64-bit build widens `data` to a pointer.
typedef void(__stdcall* TUdpReceiveProc)(void* context, int32_t address, uint16_t port, const uint8_t* data,
                                         int32_t len);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(const uint8_t*) == 4, "the packet's bytes travel in one 32-bit word");
#endif

struct IPackudpClient : public IUnknown {
  // 3. Whether SetActive(true) is in force.
  virtual BOOL __stdcall GetActive() = 0;
  // 4. The local port the socket is bound to while active (0 when not).
  virtual uint16_t __stdcall GetPort() = 0;
  // 5. True binds the socket (the port from SetPort, 0 for any free one) and starts the
  //    receive thread; false closes the socket and waits for the thread, so no handler
  //    runs once it returns (unless called from the handler itself).
  virtual void __stdcall SetActive(BOOL active) = 0;
  // 6. The local port for the next activation; 0 (the default) for any free port.
  virtual void __stdcall SetPort(uint16_t port) = 0;
  // 7. The last WinSock error of a bind, send or receive, or 0.
  virtual int32_t __stdcall GetLastSocketError() = 0;
  // 8. The receive handler, bound to `context`; a null proc removes it. Once this
  //    returns, the old handler is not called any more (unless called from it).
  virtual void __stdcall SetOnReceive(TUdpReceiveProc proc, void* context) = 0;
  // 9. Datagrams received and handed to the handler since creation.
  virtual uint32_t __stdcall GetReceivedCount() = 0;
  // 10. Sends `len` bytes as one datagram to address:port. `waitMs` is how long the call
  //     may wait for room when the socket's send buffer is full. Returns the bytes sent,
  //     or -1 (not active, bad arguments, or the send failed: see GetLastSocketError).
  //     Safe from any thread.
  virtual int32_t __stdcall SendTo(int32_t address, uint16_t port, const void* data, int32_t len,
                                   int32_t waitMs) = 0;
};

typedef HRESULT(__stdcall* TGetPackUdpClient)(IPackudpClient** client);

#ifdef PELTRIX_BUILDING_DLL
#define PELTRIX_API __declspec(dllexport)
#else
#define PELTRIX_API __declspec(dllimport)
#endif
extern "C" PELTRIX_API HRESULT __stdcall __GET_PackUdpClient(IPackudpClient** client);
