// wheel-play: one player's session from a console, through the game's own session
// client and transport DLLs: logs in, spins a few times, shows every result that
// arrives, and logs out. For operators checking a game server, and for the main job.
//
//   wheel-play.exe "1001|玩家|2130706433" --spins 3
#include <windows.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "split_field.h"
#include "uCorvane_Intf.h"
#include "uGameMessages.h"
#include "uGyrelotClient.h"
#include "win/com_ptr.h"
#include "win/gbk_text.h"
#include "win/message_pump.h"
#include "wire/uGyrelot_Struc.h"

namespace {

const char kUsage[] =
    "Usage: wheel-play.exe \"<player id>|<player name>|<server address>\" [options]\n"
    "\n"
    "Plays one session against a wheel game server over UDP, as the game does: logs in,\n"
    "asks for the given number of spins, prints every reply and result broadcast, and\n"
    "logs out (five logout packets). The server address is the game's decimal number\n"
    "(2130706433 is 127.0.0.1) or a dotted address.\n"
    "\n"
    "Options:\n"
    "  --port N       server port (default 18001)\n"
    "  --spins N      spins to ask for (default 3; 0 only logs in)\n"
    "  --pause-ms N   time between spins, as a spin on screen takes (default 1000)\n"
    "  --wait-ms N    how long to wait for each reply (default 5000)\n"
    "  --help         this text\n"
    "\n"
    "Exit status: 0 when every request was answered and accepted, 1 when one was refused\n"
    "or not answered, 2 for a bad command line.\n";

struct Options {
  std::string argument;
  uint16_t port = 18001;
  int spins = 3;
  DWORD pauseMs = 1000;
  DWORD waitMs = 5000;
};

template <class T>
bool ParseNumber(std::string_view text, T& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

// GBK bytes as UTF-8, for a console on a Linux host or a file.
std::string Show(const std::string& gbkText) {
  return utf8::FromWide(gbk::ToWide(gbkText));
}

int Usage(const char* error) {
  if (error != nullptr) std::fprintf(stderr, "wheel-play: %s\n\n", error);
  std::fputs(kUsage, error != nullptr ? stderr : stdout);
  return error != nullptr ? 2 : 0;
}

// Takes packets off the client's cache as the game window does, serving this thread's
// messages (the heartbeat timer) meanwhile, until one with `msgId` arrives. Result
// broadcasts of other players are printed as they come; the player's own are
// printed too, marked.
class Session {
 public:
  explicit Session(TGyrelotClient& client) : client_(client) {}

  // Waits for a reply of `msgId`'s kind and copies it into `out` (a login or start
  // reply); false when none came within the wait.
  template <class Reply>
  bool Await(int32_t msgId, Reply& out, DWORD waitMs) {
    const DWORD start = GetTickCount();
    bool got = false;
    TGameMessageHandlers handlers;
    handlers.Result = [this](const wheel::TWheelResult& r) {
      std::printf("  result: %s (%d) won %d%s\n", Show(wheel::ResultName(r)).c_str(), r.UserId, r.Prize,
                  r.UserId == client_.UserId() ? "  <- you" : "");
    };
    if constexpr (std::is_same_v<Reply, wheel::TWheelLoginReply>) {
      handlers.LoginReply = [&](const wheel::TWheelLoginReply& r) {
        out = r;
        got = true;
      };
    } else if constexpr (std::is_same_v<Reply, wheel::TWheelStartReply>) {
      handlers.StartReply = [&](const wheel::TWheelStartReply& r) {
        out = r;
        got = true;
      };
    }
    for (;;) {
      winapp::ServePendingMessages();
      while (!got && PollGameMessage(client_.Cache(), handlers)) {
      }
      if (got && msgId != 0) return true;
      if (GetTickCount() - start >= waitMs) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
  }

  // Serves messages and prints broadcasts for a while.
  void Idle(DWORD ms) {
    wheel::TWheelResult ignored{};
    Await(0, ignored, ms);
  }

 private:
  TGyrelotClient& client_;
};

int Play(const Options& o) {
  const std::string idText = SplitField(o.argument, "|", 0);
  const std::string name = SplitField(o.argument, "|", 1);
  const std::string addressText = SplitField(o.argument, "|", 2);
  int32_t userId = 0;
  if (!ParseNumber(idText, userId)) return Usage(("player id \"" + idText + "\" is not a number").c_str());

  ComPtr<IsNetFunc> net;
  if (FAILED(__GET_SNETFUNC_CLASS(net.Out()))) {
    std::fprintf(stderr, "wheel-play: Corvane.dll could not create its net functions\n");
    return 1;
  }
  int32_t address = 0;
  int64_t number = 0;
  if (ParseNumber(addressText, number)) {
    address = static_cast<int32_t>(static_cast<uint32_t>(number));  // the low 32 bits, as the game takes them
  } else if (!net->TextToAddress(addressText.c_str(), &address)) {
    return Usage(("server address \"" + addressText + "\" is neither a number nor a dotted address").c_str());
  }
  char dotted[16];
  net->AddressToText(address, dotted, sizeof dotted);

  auto client = std::make_unique<TGyrelotClient>();
  Session session(*client);
  std::printf("login: player %d \"%s\" to %s:%u from local port %u\n", userId, Show(name).c_str(), dotted,
              static_cast<unsigned>(o.port), static_cast<unsigned>(client->LocalPort()));
  client->Login(userId, name, address, o.port);
  wheel::TWheelLoginReply login{};
  if (!session.Await(wheel::WHEEL_LOGIN_REPLY, login, o.waitMs)) {
    std::printf("login: no reply within %lu ms\n", static_cast<unsigned long>(o.waitMs));
    return 1;
  }
  if (login.ResultCode != 0) {
    std::printf("login: refused (code %u)\n", static_cast<unsigned>(login.ResultCode));
    return 1;
  }
  client->SetSessionId(login.SessionId);
  std::printf("login: accepted; coins %d, stake %d, %d online\n", login.Coins, login.Stake,
              login.OnlineCount);

  int status = 0;
  for (int spin = 1; spin <= o.spins; ++spin) {
    client->RequestStart();
    wheel::TWheelStartReply reply{};
    if (!session.Await(wheel::WHEEL_START_REPLY, reply, o.waitMs)) {
      std::printf("spin %d: no reply within %lu ms\n", spin, static_cast<unsigned long>(o.waitMs));
      status = 1;
      break;
    }
    if (reply.ResultCode != 0) {
      std::printf("spin %d: refused (code %u), balance %d\n", spin, static_cast<unsigned>(reply.ResultCode),
                  reply.Balance);
      status = 1;
      break;
    }
    std::printf("spin %d: sector %d, prize %d, balance %d\n", spin, reply.Sector, reply.Prize, reply.Balance);
    session.Idle(o.pauseMs);
  }
  client.reset();
  std::printf("logout: sent\n");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--help" || a == "-h") return Usage(nullptr);
    if (a == "--port" || a == "--spins" || a == "--pause-ms" || a == "--wait-ms") {
      if (!hasValue) return Usage((std::string(a) + " needs a value").c_str());
      const std::string_view v = argv[++i];
      unsigned long n = 0;
      if (!ParseNumber(v, n) || n > 1000000 || (a == "--port" && (n == 0 || n > 65535))) {
        return Usage((std::string(a) + ": \"" + std::string(v) + "\" is not a valid value").c_str());
      }
      if (a == "--port") o.port = static_cast<uint16_t>(n);
      if (a == "--spins") o.spins = static_cast<int>(n);
      if (a == "--pause-ms") o.pauseMs = n;
      if (a == "--wait-ms") o.waitMs = n;
    } else if (!a.empty() && a[0] == '-') {
      return Usage(("unknown option " + std::string(a)).c_str());
    } else if (o.argument.empty()) {
      o.argument = std::string(a);
    } else {
      return Usage("only one player argument");
    }
  }
  if (o.argument.empty()) return Usage("the player argument is missing");
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  try {
    return Play(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wheel-play: %s\n", e.what());
    return 1;
  }
}
