// publish: writes the manifest "Versions.txt" and the version file "LastVer.txt" of a
// folder that the update server serves.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "publisher.h"

namespace {

const char kUsage[] =
    "Usage: publish <folder> --version N [--force] [--exclude PATTERN]...\n"
    "\n"
    "Writes <folder>/Versions.txt (one row per folder and file, each file with its\n"
    "digest) and then <folder>/LastVer.txt (LastVer=N), each under a temporary name\n"
    "first, so that update clients never see the new version before its manifest.\n"
    "\n"
    "Options:\n"
    "  --version N        the version to publish; must be above the published one\n"
    "  --force            publish even if N is not above the published version\n"
    "  --exclude PATTERN  leave out files and folders whose relative path or name\n"
    "                     matches the shell pattern (may be given more than once)\n"
    "  -h, --help         show this text\n"
    "\n"
    "Always left out at the top of the folder: update.exe, update.ini, lastVer.txt,\n"
    "temp.dat and the manifest and version files themselves.\n"
    "Nothing is written when a name cannot be published: names that GBK cannot\n"
    "represent, names longer than 100 bytes in GBK, names with the byte 0x15, line\n"
    "breaks, \":\" or other characters Windows cannot have, and links.\n";

int UsageError(const std::string& message) {
  std::cerr << "publish: " << message << "\n\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    publish::Options options;
    bool haveVersion = false;
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i];
      auto value = [&](const char* name) -> const char* {
        const size_t len = std::strlen(name);
        if (arg.size() > len && arg.compare(0, len, name) == 0 && arg[len] == '=') return argv[i] + len + 1;
        if (arg == name && i + 1 < argc) return argv[++i];
        return nullptr;
      };
      if (arg == "-h" || arg == "--help") {
        std::cout << kUsage;
        return 0;
      } else if (arg == "--force") {
        options.force = true;
      } else if (arg.rfind("--version", 0) == 0) {
        const char* v = value("--version");
        if (!v) return UsageError("--version needs a number");
        const char* end = v + std::strlen(v);
        const auto [ptr, ec] = std::from_chars(v, end, options.version);
        if (ec != std::errc() || ptr != end) return UsageError(std::string("not a version number: ") + v);
        haveVersion = true;
      } else if (arg.rfind("--exclude", 0) == 0) {
        const char* v = value("--exclude");
        if (!v) return UsageError("--exclude needs a pattern");
        options.excludes.emplace_back(v);
      } else if (!arg.empty() && arg[0] == '-') {
        return UsageError("unknown option " + arg);
      } else if (options.folder.empty()) {
        options.folder = arg;
      } else {
        return UsageError("more than one folder given");
      }
    }
    if (options.folder.empty()) return UsageError("no folder given");
    if (!haveVersion) return UsageError("--version N is required");

    options.progress = [](const std::string& line) { std::cerr << "publish: " << line << std::endl; };
    const publish::Result result = publish::Publish(options);
    if (!result.ok) {
      std::cerr << "publish: nothing was written:\n";
      for (const auto& p : result.problems) std::cerr << "  " << p << "\n";
      return 1;
    }
    std::cout << "published version " << options.version << " of " << options.folder << " (was "
              << result.previousVersion << "): " << result.files << " files, " << result.folders
              << " folders, " << result.bytes << " bytes\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "publish: " << e.what() << "\n";
    return 1;
  }
}
