// The DLL's one export. The 32-bit build exports it without the @4 that __stdcall
// would add (durnix32.def), as the updater imports it by its plain name.
#include <winsock2.h>

#include "durnix_client.h"
#include "uIOCP_Intf.h"

extern "C" HRESULT __stdcall __GET_IOCP_CLIENT_CLASS(IIOCPClient** client) {
  return durnix::DurnixClient::Create(client);
}
