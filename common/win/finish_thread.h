// Ending a transport's receive thread from whichever thread asks.
#pragma once

#include <thread>

// Joins a thread, or lets it go when it is the calling thread itself (a handler that
// stopped its own transport): that thread ends by itself once the handler returns.
inline void FinishThread(std::thread& t) noexcept {
  if (!t.joinable()) return;
  try {
    if (t.get_id() == std::this_thread::get_id()) {
      t.detach();
    } else {
      t.join();
    }
  } catch (...) {
  }
}
