// Durnix.dll as the updater binds to it: the factory by its plain name, the
// operations by their slots, and the reference counting.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_peer.h"

namespace {

// The operation at `position` (1 for IsConnected, ...), after IUnknown's three slots.
template <class Fn>
Fn Slot(IIOCPClient* client, int position) {
  void** table = *reinterpret_cast<void***>(client);
  return reinterpret_cast<Fn>(table[2 + position]);
}

}  // namespace

TEST(DurnixExport, FactoryIsFoundByItsPlainNameAndOperationsSitInTheirSlots) {
  HMODULE dll = LoadLibraryW(L"Durnix.dll");
  ASSERT_NE(dll, nullptr);
  // Through a function type that matches any, so the compiler lets the address go to
  // the factory's own type.
  const auto factory = reinterpret_cast<TGetIOCPClientClass>(
      reinterpret_cast<void (*)()>(GetProcAddress(dll, "__GET_IOCP_CLIENT_CLASS")));
  ASSERT_NE(factory, nullptr);
  IIOCPClient* raw = nullptr;
  ASSERT_EQ(factory(&raw), S_OK);
  ASSERT_NE(raw, nullptr);

  const auto isConnected = Slot<BOOL(__stdcall*)(void*)>(raw, 1);
  const auto setActive = Slot<void(__stdcall*)(void*, BOOL)>(raw, 2);
  const auto setPort = Slot<void(__stdcall*)(void*, uint16_t)>(raw, 3);
  const auto getPort = Slot<uint16_t(__stdcall*)(void*)>(raw, 4);
  const auto getActive = Slot<BOOL(__stdcall*)(void*)>(raw, 5);
  const auto setHost = Slot<void(__stdcall*)(void*, const char*)>(raw, 6);
  const auto getHost = Slot<int32_t(__stdcall*)(void*, char*, int32_t)>(raw, 7);
  const auto setOnReceive = Slot<void(__stdcall*)(void*, TIOCPReceiveProc, void*)>(raw, 8);
  const auto setOnDisconnect = Slot<void(__stdcall*)(void*, TIOCPDisconnectProc, void*)>(raw, 9);
  const auto setMaxMessageSize = Slot<void(__stdcall*)(void*, uint32_t)>(raw, 10);
  const auto getMaxMessageSize = Slot<uint32_t(__stdcall*)(void*)>(raw, 11);
  const auto getLastSocketError = Slot<int32_t(__stdcall*)(void*)>(raw, 12);
  const auto send = Slot<BOOL(__stdcall*)(void*, const void*, int32_t)>(raw, 13);
  const auto release = reinterpret_cast<ULONG(__stdcall*)(void*)>((*reinterpret_cast<void***>(raw))[2]);

  Listener listener;
  Recorder recorder;
  EXPECT_EQ(getMaxMessageSize(raw), 65536u);
  setMaxMessageSize(raw, 4096);
  EXPECT_EQ(getMaxMessageSize(raw), 4096u);
  setPort(raw, listener.port());
  EXPECT_EQ(getPort(raw), listener.port());
  setHost(raw, "127.0.0.1");
  char host[32] = {};
  EXPECT_EQ(getHost(raw, host, sizeof host), 9);
  EXPECT_STREQ(host, "127.0.0.1");
  setOnReceive(raw, &Recorder::OnReceive, &recorder);
  setOnDisconnect(raw, &Recorder::OnDisconnect, &recorder);
  EXPECT_FALSE(isConnected(raw));
  EXPECT_FALSE(getActive(raw));

  setActive(raw, TRUE);
  EXPECT_TRUE(getActive(raw));
  PeerSocket peer = listener.Accept();
  ASSERT_TRUE(peer);
  ASSERT_TRUE(WaitUntil([&] { return isConnected(raw) != FALSE; }));
  EXPECT_EQ(getLastSocketError(raw), 0);

  ASSERT_TRUE(peer.WriteFrame(Pattern(12)));
  ASSERT_TRUE(recorder.WaitMessages(1));
  EXPECT_EQ(recorder.Messages(), std::vector<Bytes>{Pattern(12)});
  const Bytes out = Pattern(5, 1);
  EXPECT_TRUE(send(raw, out.data(), static_cast<int32_t>(out.size())));
  Bytes got;
  ASSERT_TRUE(peer.ReadFrame(got));
  EXPECT_EQ(got, out);

  setActive(raw, FALSE);
  EXPECT_FALSE(isConnected(raw));
  EXPECT_FALSE(getActive(raw));
  EXPECT_TRUE(peer.WaitClosed());
  EXPECT_EQ(release(raw), 0u);
  FreeLibrary(dll);
}

TEST(DurnixExport, ReferenceCountingAndInterfaceQuery) {
  EXPECT_EQ(__GET_IOCP_CLIENT_CLASS(nullptr), E_POINTER);
  IIOCPClient* client = nullptr;
  ASSERT_EQ(__GET_IOCP_CLIENT_CLASS(&client), S_OK);
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->AddRef(), 2u);
  EXPECT_EQ(client->Release(), 1u);

  GUID nearly = IID_IIOCPClient;
  nearly.Data4[7] ^= 1;
  const struct Case {
    const char* what;
    GUID iid;
    HRESULT result;
  } cases[] = {
      {"IUnknown", IID_IUnknown, S_OK},
      {"the client interface", IID_IIOCPClient, S_OK},
      {"another interface", IID_IClassFactory, E_NOINTERFACE},
      {"one bit off the client interface", nearly, E_NOINTERFACE},
  };
  for (const auto& c : cases) {
    void* object = &client;  // anything but null, to see it is set
    EXPECT_EQ(client->QueryInterface(c.iid, &object), c.result) << c.what;
    if (c.result == S_OK) {
      EXPECT_EQ(object, static_cast<void*>(client)) << c.what;
      EXPECT_EQ(client->Release(), 1u) << c.what;
    } else {
      EXPECT_EQ(object, nullptr) << c.what;
    }
  }
  EXPECT_EQ(client->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(client->Release(), 0u);
}

TEST(DurnixExport, ANewClientIsIdleWithItsDefaults) {
  ComPtr<IIOCPClient> client = NewClient();
  ASSERT_TRUE(client);
  EXPECT_FALSE(client->IsConnected());
  EXPECT_FALSE(client->GetActive());
  EXPECT_EQ(client->GetPort(), 0);
  EXPECT_EQ(client->GetHost(nullptr, 0), 0);
  EXPECT_EQ(client->GetMaxMessageSize(), 65536u);
  EXPECT_EQ(client->GetLastSocketError(), 0);
  const Bytes message = Pattern(3);
  EXPECT_FALSE(client->Send(message.data(), 3));
  client->SetActive(FALSE);  // nothing to close
  EXPECT_FALSE(client->GetActive());
}

TEST(DurnixExport, GetHostCutsToTheBufferAndGivesTheFullLength) {
  ComPtr<IIOCPClient> client = NewClient();
  ASSERT_TRUE(client);
  client->SetHost("localhost");
  const struct Case {
    int32_t size;
    std::string copied;
  } cases[] = {
      {64, "localhost"}, {10, "localhost"}, {9, "localhos"}, {4, "loc"}, {1, ""},
  };
  for (const auto& c : cases) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(client->GetHost(buffer, c.size), 9) << c.size;
    EXPECT_EQ(std::string(buffer), c.copied) << c.size;
  }
  char untouched[4] = {'x', 'x', 'x', '\0'};
  EXPECT_EQ(client->GetHost(untouched, 0), 9);
  EXPECT_STREQ(untouched, "xxx");
  EXPECT_EQ(client->GetHost(nullptr, 0), 9);

  client->SetHost(nullptr);
  char buffer[8] = "xxx";
  EXPECT_EQ(client->GetHost(buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}
