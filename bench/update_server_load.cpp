// Many updaters at once: N clients (threads) each fetch one file from a running
// update-server and check its bytes. Prints the aggregate rate, the slowest transfer
// and the failures. Used by bench/update_server_load.sh.
//
//   update_server_load <port> <name> <expected-file> [clients]
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "blocking_client.h"

namespace {

const char kUsage[] =
    "Usage: update_server_load <port> <name> <expected-file> [clients]\n"
    "Connects <clients> (default 200) to update-server on 127.0.0.1:<port>; each\n"
    "fetches <name> as the updater does and compares it with <expected-file>.\n";

bool Number(const char* text, int& out, int min, int max) {
  const char* end = text + std::strlen(text);
  const auto [p, ec] = std::from_chars(text, end, out);
  return ec == std::errc() && p == end && out >= min && out <= max;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  int port = 0;
  int clients = 200;
  if (argc < 4 || argc > 5 || !Number(argv[1], port, 1, 65535) ||
      (argc == 5 && !Number(argv[4], clients, 1, 10000))) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string name = argv[2];
  std::ifstream in(argv[3], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "update_server_load: cannot read %s\n", argv[3]);
    return 2;
  }
  const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  std::atomic<int> failures{0};
  std::vector<double> seconds(static_cast<size_t>(clients));
  // Every client connects first and starts on the same signal.
  std::promise<void> go;
  const std::shared_future<void> started = go.get_future().share();
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i) {
    threads.emplace_back([&, i] {
      Client c(static_cast<uint16_t>(port));
      started.wait();
      const auto t0 = std::chrono::steady_clock::now();
      std::string got;
      if (!c.connected() || !c.Fetch(name, got) || got != expected) ++failures;
      seconds[static_cast<size_t>(i)] =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    });
  }
  const auto t0 = std::chrono::steady_clock::now();
  go.set_value();
  for (auto& t : threads) t.join();
  const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  double slowest = 0;
  for (double s : seconds) slowest = s > slowest ? s : slowest;
  const double mb = static_cast<double>(expected.size()) * clients / 1e6;
  std::printf("clients: %d x %zu bytes, failures: %d\n", clients, expected.size(), failures.load());
  std::printf("aggregate: %.1f MB in %.3f s = %.1f MB/s\n", mb, total, mb / total);
  std::printf("slowest transfer: %.3f s\n", slowest);
  return failures == 0 ? 0 : 1;
}
