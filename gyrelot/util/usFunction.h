// Gyrelot's small utility object: the program folder under which every asset lies,
// the plain information box, and the field splitter for the command-line argument.
#pragma once

#include <string>

#include "split_field.h"

class TsFunction {
 public:
  // The folder of the running executable, with its trailing backslash, as GBK bytes.
  std::string GetAppPath() const;
  // A modal information box (OK button, information icon) captioned with the
  // application title; returns when the player closes it.
  void ShowMsg(const std::string& text) const;
  std::string SplitField(const std::string& text, const std::string& separator, int index) const {
    return ::SplitField(text, separator, index);
  }
};

// The one instance the whole program shares. It holds no state, so it exists from
// program start to exit without any order to keep with the window or data module.
extern const TsFunction sFunction;

// The application title, the caption of ShowMsg's box. The game window sets it to its
// own caption during its set-up.
void SetApplicationTitle(const std::string& title);
std::string GetApplicationTitle();

