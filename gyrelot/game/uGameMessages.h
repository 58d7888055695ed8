// The game server's replies as they come off the packet cache: one packet at a time,
// routed by its message id to the handler of its kind, each record decoded only when
// its length is exactly the record's. Shared by the game window's poll timer, the
// console player and the end-to-end test, so all three read packets the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "uCorvane_Intf.h"
#include "wire/uGyrelot_Struc.h"

struct TGameMessageHandlers {
  std::function<void(const wheel::TWheelLoginReply&)> LoginReply;
  std::function<void(const wheel::TWheelStartReply&)> StartReply;
  std::function<void(const wheel::TWheelResult&)> Result;
};

// Routes one received record: 30102 to LoginReply, 30112 to StartReply, 30113 to
// Result. A record of another id or of a wrong length is dropped. Returns the id it
// handled, or 0.
int32_t DispatchGameMessage(const uint8_t* data, size_t len, const TGameMessageHandlers& handlers);

// Takes at most one packet off the cache: Peek, dispatch, Pop. The packet is removed
// even when its handler raises an error (which then passes on), so a packet can never
// be handled twice. Returns whether there was a packet.
bool PollGameMessage(IsSendCache* cache, const TGameMessageHandlers& handlers);
