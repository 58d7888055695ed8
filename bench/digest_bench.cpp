// Times FileMd5 over one file and prints the figures. Used by bench/digest_bench.sh,
// which times md5sum over the same bytes in the same run.
//
//   digest_bench <file> [runs]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/input_file.h"
#include "uFileDigest.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::printf("Usage: digest_bench <file> [runs]\nTimes the updater's file digest over <file> (best of runs, default 3).\n");
    return argc < 2 ? 2 : 0;
  }
  const std::string path = argv[1];
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  int64_t size = -1;
  {
    io::InputFile f = io::InputFile::Open(path);
    size = f.Size();
  }
  if (size < 0) {
    std::fprintf(stderr, "digest_bench: cannot open %s\n", path.c_str());
    return 1;
  }
  double best = 1e30;
  std::string digest;
  for (int i = 0; i < (runs < 1 ? 1 : runs); ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    digest = FileMd5(path).value_or(std::string());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (s < best) best = s;
  }
  std::printf("FileMd5 %s  %lld bytes  best of %d: %.3f s  %.1f MiB/s\n", digest.c_str(),
              static_cast<long long>(size), runs, best, static_cast<double>(size) / 1048576.0 / best);
  return digest.empty() ? 1 : 0;
}
