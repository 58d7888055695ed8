// The net-function object: dotted text to and from the one-number IPv4 form that the
// game's command line and the UDP client use, and a host name look-up.
#pragma once

#include "uCorvane_Intf.h"
#include "win/ref_counted.h"
#include "win/winsock_owners.h"

namespace corvane {

class NetFunc final : public RefCountedObject<IsNetFunc> {
 public:
  NetFunc() : RefCountedObject(&IID_IsNetFunc) {}

  int32_t __stdcall AddressToText(int32_t address, char* buffer, int32_t size) override;
  BOOL __stdcall TextToAddress(const char* text, int32_t* address) override;
  BOOL __stdcall ResolveHost(const char* host, int32_t* address) override;

 private:
  // Host look-ups need WinSock started; the object holds it for its life.
  wsock::WinsockInit winsock_;
};

}  // namespace corvane
