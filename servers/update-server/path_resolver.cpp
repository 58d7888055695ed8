#include "path_resolver.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <stdexcept>
#include <vector>

#include "host/gbk_iconv.h"
#include "server_log.h"

namespace {

std::string RealPath(const std::string& path) {
  char buf[PATH_MAX];
  if (::realpath(path.c_str(), buf) == nullptr) return std::string();
  return buf;
}

Resolved Refuse(Resolved r, const std::string& why) {
  r.reason = "refused: " + why;
  return r;
}

}  // namespace

std::string EscapeBytes(const std::string& bytes) {
  return EscapeForLog(bytes, false);
}

PathResolver::PathResolver(const std::string& root) : root_(RealPath(root)) {
  struct stat st;
  if (root_.empty() || ::stat(root_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    throw std::runtime_error("not a folder: " + root);
  }
}

Resolved PathResolver::Resolve(const std::string& gbkName) const {
  Resolved r;
  std::string name;
  if (!host::GbkToUtf8(gbkName, name)) {
    r.display = EscapeBytes(gbkName);
    return Refuse(r, "not GBK");
  }
  r.display = EscapeForLog(name, true);
  if (name.empty()) return Refuse(r, "empty name");

  // Windows reads both separators; so does the server.
  std::vector<std::string> parts;
  std::string part;
  for (char c : name) {
    if (c == '\\' || c == '/') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  if (parts.front().empty() && parts.size() > 1) return Refuse(r, "absolute path");
  std::string rel;
  for (const auto& p : parts) {
    if (p.empty()) return Refuse(r, "empty path component");
    if (p == "." || p == "..") return Refuse(r, "\"" + p + "\" component");
    for (unsigned char c : p) {
      if (c == ':') return Refuse(r, "colon (drive or stream)");
      if (c < 0x20 || c == 0x7F) return Refuse(r, "control character");
    }
    rel += "/" + p;
  }

  const std::string real = RealPath(root_ + rel);
  if (real.empty()) {
    r.reason = "missing";
    return r;
  }
  const std::string inside = root_ == "/" ? root_ : root_ + "/";
  if (real.compare(0, inside.size(), inside) != 0 || real.size() == inside.size()) {
    return Refuse(r, "leads out of the folder");
  }
  struct stat st;
  if (::stat(real.c_str(), &st) != 0) {
    r.reason = "missing";
    return r;
  }
  if (!S_ISREG(st.st_mode)) return Refuse(r, "not a regular file");
  r.ok = true;
  r.hostPath = real;
  return r;
}
