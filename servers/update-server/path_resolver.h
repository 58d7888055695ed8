// Turns a requested name into a file of the served folder, or refuses it. Names come
// as GBK bytes with backslashes ("GameSkin\Wheel\bg.png"); they are decoded first and
// split afterwards, since a GBK character's second byte can be 0x5C, the backslash.
#pragma once

#include <string>

struct Resolved {
  bool ok = false;
  std::string hostPath;  // the file to serve, when ok
  std::string display;   // the name for the log: UTF-8 if it decoded, else escaped bytes
  std::string reason;    // why not, when !ok ("missing" or "refused: ...")
};

class PathResolver {
 public:
  // `root` must be an existing folder; its real path is taken once.
  explicit PathResolver(const std::string& root);
  const std::string& Root() const { return root_; }
  Resolved Resolve(const std::string& gbkName) const;

 private:
  std::string root_;  // real path, no trailing slash
};

// Bytes as printable text: printable ASCII kept (but the quote), everything else as \xNN.
std::string EscapeBytes(const std::string& bytes);
