// Reading a server's command line: options as "--name value" or "--name=value", and
// numbers checked whole and within their range (no atoi: "12abc" is not 12).
#pragma once

#include <charconv>
#include <string>

class ArgReader {
 public:
  ArgReader(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

  // Moves to the next argument; false once there is none.
  bool Next() {
    if (++i_ >= argc_) return false;
    given_ = argv_[i_];
    name_ = given_;
    value_.clear();
    inlineValue_ = false;
    const size_t eq = name_.find('=');
    if (name_.rfind("--", 0) == 0 && eq != std::string::npos) {
      value_ = name_.substr(eq + 1);
      name_ = name_.substr(0, eq);
      inlineValue_ = true;
    }
    return true;
  }

  // The option's name ("--port"), and the argument as it was given.
  const std::string& Name() const { return name_; }
  const std::string& Given() const { return given_; }

  // Takes the option's value: after its "=", or the next argument. False (with
  // `error` set) when there is none.
  bool TakeValue(std::string& error) {
    if (inlineValue_) return true;
    if (i_ + 1 >= argc_) {
      error = name_ + " needs a value";
      return false;
    }
    value_ = argv_[++i_];
    return true;
  }
  const std::string& Value() const { return value_; }

 private:
  int argc_;
  const char* const* argv_;
  int i_ = 0;
  std::string given_;
  std::string name_;
  std::string value_;
  bool inlineValue_ = false;
};

// `text` as a whole decimal number from `min` to `max`, stored in `out`; false (and
// `out` untouched) otherwise.
template <class T>
bool ParseNumber(const std::string& text, T& out, long long min, long long max) {
  long long v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ec != std::errc() || ptr != end || v < min || v > max) return false;
  out = static_cast<T>(v);
  return true;
}
