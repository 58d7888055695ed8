// The text table in which the updater reads its manifest "Versions.txt" and keeps its
// list of files to download. A sample manifest (<15> is the byte 0x15):
//
//   fPath<15>fFileName<15>fmd5
//   <15>Gyrelot.exe<15>3f1c...e9
//   <15>GameSkin
//   GameSkin\<15>GameSkin\Wheel
//   GameSkin\Wheel\<15>GameSkin\Wheel\bg.png<15>77a0...41
//
// Texts are bytes (GBK); nothing is converted. The first line is the header, every
// further line a row; values are addressed by position.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Raised for a text without a header line, a file that cannot be opened, and access
// to a current row that does not exist.
class TTxtTableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TTxtTable;

class TTxtRecord {
 public:
  TTxtTable* Owner;
  std::vector<std::string> Values;

 private:
  friend class TTxtTable;
  // `text` is the row with every separator already replaced by CR LF.
  TTxtRecord(TTxtTable* owner, std::string_view text);
  TTxtRecord(TTxtTable* owner, size_t emptyValues);
};

class TTxtTable {
 public:
  static constexpr char kSeparator = '\x15';

  TTxtTable() = default;
  // Rows point back at their table, so a table stays where it was made.
  TTxtTable(const TTxtTable&) = delete;
  TTxtTable& operator=(const TTxtTable&) = delete;

  std::vector<std::string> FieldNames;
  std::vector<TTxtRecord> Records;
  int32_t CurrentIndex = 0;

  void LoadFromFile(const std::string& path);
  void LoadFromText(std::string_view text);
  void First();
  void Next();
  void Last();
  bool Eof() const;
  int32_t RecordCount() const;
  void Clear();
  void Append();
  std::string GetValue(int32_t index) const;
  void SetValue(int32_t index, const std::string& value);

 private:
  // The current row; raises TTxtTableError when there is none.
  size_t CurrentRow() const;
};
