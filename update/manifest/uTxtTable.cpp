#include "uTxtTable.h"

#include "io/input_file.h"
#include "text/lines.h"


namespace {

std::string SeparatorsToLineEnds(std::string_view line) {
  std::string out;
  out.reserve(line.size() + 8);
  for (char c : line) {
    if (c == TTxtTable::kSeparator) {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string_view UpToNul(std::string_view text) {
  const size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

TTxtRecord::TTxtRecord(TTxtTable* owner, std::string_view text) : Owner(owner) {
  if (text.empty()) {
    Values.assign(owner->FieldNames.size(), std::string());
    return;
  }
  for (std::string_view value : txt::SplitLines(text)) Values.emplace_back(value);
}

TTxtRecord::TTxtRecord(TTxtTable* owner, size_t emptyValues) : Owner(owner), Values(emptyValues) {}

void TTxtTable::LoadFromFile(const std::string& path) {
  std::string bytes;
  std::string error;
  if (!io::ReadWholeFile(path, bytes, error)) {
    throw TTxtTableError("cannot open file \"" + path + "\": " + error);
  }
  LoadFromText(bytes);
}

void TTxtTable::LoadFromText(std::string_view text) {
  const std::string_view trimmed = txt::TrimControl(UpToNul(text));
  const std::vector<std::string_view> lines = txt::SplitLines(trimmed);
  if (lines.empty()) {
    // Nothing is replaced: the table keeps what it held.
    throw TTxtTableError("the table text is empty: it has no header line");
  }

  std::vector<std::string> names;
  const std::string header = SeparatorsToLineEnds(lines[0]);
  for (std::string_view name : txt::SplitLines(txt::TrimControl(header))) names.emplace_back(name);
  FieldNames = std::move(names);

  Records.clear();
  Records.reserve(lines.size() - 1);
  for (size_t i = 1; i < lines.size(); ++i) {
    Records.push_back(TTxtRecord(this, SeparatorsToLineEnds(lines[i])));
  }
  CurrentIndex = 0;
}

void TTxtTable::First() { CurrentIndex = Records.empty() ? -1 : 0; }

void TTxtTable::Next() {
  if (CurrentIndex < INT32_MAX) ++CurrentIndex;
}

void TTxtTable::Last() { CurrentIndex = RecordCount() - 1; }

bool TTxtTable::Eof() const { return Records.empty() || CurrentIndex > RecordCount() - 1; }

int32_t TTxtTable::RecordCount() const { return static_cast<int32_t>(Records.size()); }

void TTxtTable::Clear() { Records.clear(); }

void TTxtTable::Append() {
  Records.push_back(TTxtRecord(this, FieldNames.size()));
  Last();
}

size_t TTxtTable::CurrentRow() const {
  if (CurrentIndex < 0 || CurrentIndex >= RecordCount()) {
    throw TTxtTableError("list index out of bounds (" + std::to_string(CurrentIndex) + ")");
  }
  return static_cast<size_t>(CurrentIndex);
}

std::string TTxtTable::GetValue(int32_t index) const {
  if (Records.empty()) return std::string();
  const TTxtRecord& record = Records[CurrentRow()];
  if (index < 0 || static_cast<size_t>(index) >= record.Values.size()) return std::string();
  return record.Values[static_cast<size_t>(index)];
}

void TTxtTable::SetValue(int32_t index, const std::string& value) {
  TTxtRecord& record = Records[CurrentRow()];
  if (index < 0 || static_cast<size_t>(index) >= record.Values.size()) return;
  record.Values[static_cast<size_t>(index)] = value;
}
