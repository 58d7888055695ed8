// The DLL's two exports. The 32-bit build exports them without the @4 that __stdcall
// would add (corvane32.def), as the game imports them by their plain names.
#include <winsock2.h>

#include "net_func.h"
#include "send_cache.h"
#include "uCorvane_Intf.h"

extern "C" HRESULT __stdcall __GET_SSENDCACHE_CLASS(IsSendCache** cache) {
  return CreateInto(cache, [] { return new corvane::SendCache(); });
}

extern "C" HRESULT __stdcall __GET_SNETFUNC_CLASS(IsNetFunc** netFunc) {
  return CreateInto(netFunc, [] { return new corvane::NetFunc(); });
}
