// Corvane.dll as Gyrelot sees it: the packet cache that carries received packets from
// the UDP client's thread to the window thread, and the net-function object.
//
// Both are reference-counted (IUnknown: query, add-ref, release in slots 0-2); the
// declared operations follow from slot 3 and none may move, as the game calls them by
// slot. All methods are __stdcall. The exports take the address of an empty interface
// variable and store there a new object with one reference.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <cstddef>
#include <cstdint>

// One cached packet as Peek hands it out. The game reads the length at byte 12 and the
// address of the bytes at byte 16: in the 32-bit build both are 32-bit words, the
// 64-bit build widens the address to a pointer. The bytes belong to the cache and stay
// valid until the Pop that removes the entry.
struct TSendCacheEntry {
  int32_t Kind;     // what Push was given first: 1 for a received packet
  int32_t Address;  // sender's IPv4 address, first octet in the most significant byte
  uint16_t Port;    // sender's port
  uint16_t Reserved;
  int32_t Length;  // bytes at Data
  const uint8_t* Data;
};
static_assert(offsetof(TSendCacheEntry, Length) == 12);
static_assert(offsetof(TSendCacheEntry, Data) == 16);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(const uint8_t*) == 4 && sizeof(TSendCacheEntry) == 20,
              "the 32-bit entry is five 32-bit words");
#endif

// {6D2A6578-E2DE-4643-9A3F-9AC005CAC27C}
inline const GUID IID_IsSendCache = {
    0x6d2a6578, 0xe2de, 0x4643, {0x9a, 0x3f, 0x9a, 0xc0, 0x05, 0xca, 0xc2, 0x7c}};

// A first-in first-out queue of packets, bounded by the number of entries given to
// Init. Safe for one thread pushing while another peeks and pops, without any lock of
// the caller's. Push copies the bytes, so the pusher's buffer may be reused at once.
struct IsSendCache : public IUnknown {
  // 3. The number of entries waiting.
  virtual int32_t __stdcall Count() = 0;
  // 4. Empties the cache and bounds it to `capacity` entries (at least 1); returns the
  //    bound now in force. Call it before the first Push: it must not race one.
  //    A new cache holds up to 1024 entries.
  virtual int32_t __stdcall Init(int32_t capacity) = 0;
  // 5. Appends a copy of the packet. When the cache is full (or the bytes cannot be
  //    copied) the packet is dropped and counted; returns false then.
  virtual BOOL __stdcall Push(int32_t kind, int32_t address, uint16_t port, const uint8_t* data,
                              int32_t len) = 0;
  // 6. The oldest entry, left in place: true and *entry set, or false (and null) when
  //    the cache is empty. Repeated Peeks hand out the same entry until Pop.
  virtual BOOL __stdcall Peek(const TSendCacheEntry** entry) = 0;
  // 7. Removes the oldest entry (the one Peek hands out) and frees its bytes; nothing
  //    when the cache is empty.
  virtual void __stdcall Pop() = 0;
  // 8. Packets dropped because the cache was full, since creation.
  virtual uint32_t __stdcall DroppedCount() = 0;
  // 9. The bound Init set.
  virtual int32_t __stdcall Capacity() = 0;
};

// {17E7FBB3-9F72-41FE-A20C-B558882273E0}
inline const GUID IID_IsNetFunc = {
    0x17e7fbb3, 0x9f72, 0x41fe, {0xa2, 0x0c, 0xb5, 0x58, 0x88, 0x22, 0x73, 0xe0}};

// Small address helpers. Addresses are IPv4 in one int32 whose most significant byte
// is the first octet (127.0.0.1 is 2130706433), as the command line and the UDP client
// carry them.
struct IsNetFunc : public IUnknown {
  // 3. Writes the dotted form ("127.0.0.1", zero-terminated, cut to the buffer);
  //    returns its full length without the terminator.
  virtual int32_t __stdcall AddressToText(int32_t address, char* buffer, int32_t size) = 0;
  // 4. Reads a dotted address of exactly four decimal octets; false for anything else.
  virtual BOOL __stdcall TextToAddress(const char* text, int32_t* address) = 0;
  // 5. Resolves a host name or dotted address to its first IPv4 address; false when
  //    there is none.
  virtual BOOL __stdcall ResolveHost(const char* host, int32_t* address) = 0;
};

typedef HRESULT(__stdcall* TGetSendCacheClass)(IsSendCache** cache);
typedef HRESULT(__stdcall* TGetNetFuncClass)(IsNetFunc** netFunc);

#ifdef CORVANE_BUILDING_DLL
#define CORVANE_API __declspec(dllexport)
#else
#define CORVANE_API __declspec(dllimport)
#endif
extern "C" CORVANE_API HRESULT __stdcall __GET_SSENDCACHE_CLASS(IsSendCache** cache);
extern "C" CORVANE_API HRESULT __stdcall __GET_SNETFUNC_CLASS(IsNetFunc** netFunc);
