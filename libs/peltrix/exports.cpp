// The DLL's one export. The 32-bit build exports it without the @4 that __stdcall
// would add (peltrix32.def), as the game imports it by its plain name.
#include <winsock2.h>

#include "packudp_client.h"
#include "uudpClient_Intf.h"

extern "C" HRESULT __stdcall __GET_PackUdpClient(IPackudpClient** client) {
  return CreateInto(client, [] { return new peltrix::PackUdpClient(); });
}
