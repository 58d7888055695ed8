// Many updaters at once: N clients (threads) each fetch one file from a running
// update-server and check its bytes. Prints the aggregate rate, the slowest transfer
// and the failures. Used by bench/update_server_load.sh.
//
//   update_server_load <port> <name> <expected-file> [clients]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "blocking_client.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "Usage: update_server_load <port> <name> <expected-file> [clients]\n");
    return 2;
  }
  const uint16_t port = static_cast<uint16_t>(std::stoi(argv[1]));
  const std::string name = argv[2];
  std::ifstream in(argv[3], std::ios::binary);
  const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const int clients = argc > 4 ? std::stoi(argv[4]) : 200;

  std::atomic<int> failures{0};
  std::vector<double> seconds(static_cast<size_t>(clients));
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i) {
    threads.emplace_back([&, i] {
      Client c(port);
      while (!go) std::this_thread::yield();
      const auto t0 = std::chrono::steady_clock::now();
      std::string got;
      if (!c.connected() || !c.Fetch(name, got) || got != expected) ++failures;
      seconds[static_cast<size_t>(i)] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    });
  }
  const auto t0 = std::chrono::steady_clock::now();
  go = true;
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
