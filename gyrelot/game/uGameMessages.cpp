#include "uGameMessages.h"

int32_t DispatchGameMessage(const uint8_t* data, size_t len, const TGameMessageHandlers& handlers) {
  switch (wheel::RecogniseReply(data, len)) {
    case wheel::WHEEL_LOGIN_REPLY: {
      wheel::TWheelLoginReply r{};
      if (!wheel::Decode(data, len, r)) return 0;
      if (handlers.LoginReply) handlers.LoginReply(r);
      return wheel::WHEEL_LOGIN_REPLY;
    }
    case wheel::WHEEL_START_REPLY: {
      wheel::TWheelStartReply r{};
      if (!wheel::Decode(data, len, r)) return 0;
      if (handlers.StartReply) handlers.StartReply(r);
      return wheel::WHEEL_START_REPLY;
    }
    case wheel::WHEEL_RESULT: {
      wheel::TWheelResult r{};
      if (!wheel::Decode(data, len, r)) return 0;
      if (handlers.Result) handlers.Result(r);
      return wheel::WHEEL_RESULT;
    }
  }
  return 0;
}

bool PollGameMessage(IsSendCache* cache, const TGameMessageHandlers& handlers) {
  const TSendCacheEntry* entry = nullptr;
  if (!cache || !cache->Peek(&entry) || !entry) return false;
  struct PopAfter {
    IsSendCache* cache;
    ~PopAfter() { cache->Pop(); }
  } pop{cache};
  if (entry->Length > 0) DispatchGameMessage(entry->Data, static_cast<size_t>(entry->Length), handlers);
  return true;
}
