// The texts of the toolkit's standard menu items, hints and dialog buttons, by key
// ("MI_CLOSECAPTION", "MSG_BTN_OK", ...). Every key has an English text of the
// toolkit's own; a program gives its own texts (GBK) for the keys it cares about and
// installs its table, which the system menus and message boxes then use.
#pragma once

#include <map>
#include <string>

#include "components.h"

class TskCaptionTable : public TComponent {
 public:
  TskCaptionTable(TComponentOwner* owner, const std::string& name);
  // Uninstalls itself if it is the table in use.
  ~TskCaptionTable() override;

  // The text of `key`: this table's own, else the toolkit's English one, else empty.
  std::string Get(const std::string& key) const;
  void Set(const std::string& key, const std::string& text);
  // The character set the texts are meant for (a GDI charset value).
  int Charset = 1;  // DEFAULT_CHARSET

  // Makes this table the one the toolkit's components use.
  void Install();

 private:
  std::map<std::string, std::string> texts_;
};

namespace skin {

// The text of `key` in the installed table, or the toolkit's English text.
std::string Caption(const std::string& key);
// The toolkit's English text of `key` (empty for unknown keys).
std::string DefaultCaption(const std::string& key);

}  // namespace skin
