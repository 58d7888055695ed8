#include "skin_description.h"

#include <charconv>

#include "text/profile.h"

namespace skin {

namespace {

const char* const kSections[] = {"VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS"};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A value may carry a comment after ';' (the sample shows them).
std::string_view Uncommented(std::string_view value) {
  const size_t semi = value.find(';');
  return Trim(semi == std::string_view::npos ? value : value.substr(0, semi));
}

class Reader {
 public:
  explicit Reader(const std::string& fileName) : fileName_(fileName) {}

  [[noreturn]] void Fail(const profile::Entry& e, const std::string& what) const {
    throw SkinError(fileName_ + " line " + std::to_string(e.line) + ": " + e.key + " " + what);
  }

  std::vector<int> Numbers(const profile::Entry& e) const {
    std::vector<int> out;
    std::string_view rest = Uncommented(e.value);
    while (true) {
      const size_t comma = rest.find(',');
      const std::string_view part = Trim(rest.substr(0, comma));
      int n = 0;
      const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), n);
      if (part.empty() || ec != std::errc() || end != part.data() + part.size())
        Fail(e, "needs whole numbers");
      out.push_back(n);
      if (comma == std::string_view::npos) break;
      rest = rest.substr(comma + 1);
    }
    return out;
  }

  int Int(const profile::Entry& e, int min, int max) const {
    const std::vector<int> n = Numbers(e);
    if (n.size() != 1 || n[0] < min || n[0] > max) {
      Fail(e, "needs a number from " + std::to_string(min) + " to " + std::to_string(max));
    }
    return n[0];
  }

  Rgb Colour(const profile::Entry& e) const {
    const std::string_view v = Uncommented(e.value);
    uint32_t c = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), c, 16);
    if (v.size() != 6 || ec != std::errc() || end != v.data() + v.size()) Fail(e, "needs a colour RRGGBB");
    return c;
  }

  Position Pos(const profile::Entry& e) const {
    const std::vector<int> n = Numbers(e);
    if (n.size() != 2) Fail(e, "needs left,top");
    return Position{n[0], n[1]};
  }

  Piece ReadPiece(const profile::Entry& e, size_t pictureCount) const {
    const std::vector<int> n = Numbers(e);
    if (n.size() != 5 && n.size() != 9) Fail(e, "needs picture,left,top,width,height[,four margins]");
    Piece p;
    p.picture = n[0];
    p.source = Rect{n[1], n[2], n[3], n[4]};
    if (n.size() == 9) p.margins = Margins{n[5], n[6], n[7], n[8]};
    if (p.picture < 0 || static_cast<size_t>(p.picture) >= pictureCount) {
      Fail(e, "names picture " + std::to_string(p.picture) + ", which the skin does not have");
    }
    if (p.source.left < 0 || p.source.top < 0 || p.source.width <= 0 || p.source.height <= 0) {
      Fail(e, "needs a rectangle with an area");
    }
    const Margins& m = p.margins;
    if (m.left < 0 || m.top < 0 || m.right < 0 || m.bottom < 0 || m.left + m.right > p.source.width ||
        m.top + m.bottom > p.source.height) {
      Fail(e, "has margins larger than its rectangle");
    }
    return p;
  }

 private:
  const std::string& fileName_;
};

}  // namespace

const Piece* SkinDescription::Object(std::string_view name) const {
  const auto it = objects.find(Lower(name));
  return it == objects.end() ? nullptr : &it->second;
}

const Piece* SkinDescription::Control(std::string_view name) const {
  const auto it = controls.find(Lower(name));
  return it == controls.end() ? nullptr : &it->second;
}

std::optional<SkinDescription> ParseSkinDescription(std::string_view text, const std::string& fileName) {
  const std::vector<profile::Section> sections = profile::ReadSections(text);
  for (const char* name : kSections) {
    if (!profile::FindSection(sections, name)) return std::nullopt;
  }
  const Reader read(fileName);
  SkinDescription d;

  const profile::Section& version = *profile::FindSection(sections, "VERSION");
  if (const auto* e = version.Find("Version")) d.version = read.Int(*e, 1, 1000000);
  if (const auto* e = version.Find("Name")) d.name = std::string(Uncommented(e->value));

  const profile::Section& pictures = *profile::FindSection(sections, "PICTURES");
  const auto* main = pictures.Find("picture");
  if (!main || Uncommented(main->value).empty()) return std::nullopt;
  d.pictures.emplace_back(Uncommented(main->value));
  for (int i = 1;; ++i) {
    const auto* e = pictures.Find("picture" + std::to_string(i));
    if (!e) break;
    if (Uncommented(e->value).empty()) read.Fail(*e, "names no file");
    d.pictures.emplace_back(Uncommented(e->value));
  }
  if (const auto* e = pictures.Find("TransparentColor")) d.transparentColor = read.Colour(*e);

  FormInfo& f = d.form;
  const profile::Section& form = *profile::FindSection(sections, "FORMINFO");
  if (const auto* e = form.Find("CaptionHeight")) f.captionHeight = read.Int(*e, 0, 200);
  if (const auto* e = form.Find("BorderWidth")) f.borderWidth = read.Int(*e, 0, 50);
  if (const auto* e = form.Find("CaptionFont")) f.captionFont = std::string(Uncommented(e->value));
  if (const auto* e = form.Find("CaptionFontHeight")) f.captionFontHeight = read.Int(*e, 6, 100);
  if (const auto* e = form.Find("CaptionFontBold")) f.captionFontBold = read.Int(*e, 0, 1) == 1;
  if (const auto* e = form.Find("CaptionColor")) f.captionColor = read.Colour(*e);
  if (const auto* e = form.Find("CaptionShadowColor")) f.captionShadowColor = read.Colour(*e);
  if (const auto* e = form.Find("CaptionInactiveColor")) f.captionInactiveColor = read.Colour(*e);
  if (const auto* e = form.Find("CaptionTextLeft")) f.captionTextLeft = read.Int(*e, 0, 4000);
  if (const auto* e = form.Find("SysButtonPos")) f.sysButtonPos = read.Pos(*e);
  if (const auto* e = form.Find("MinButtonPos")) f.minButtonPos = read.Pos(*e);
  if (const auto* e = form.Find("BodyColor")) f.bodyColor = read.Colour(*e);
  if (const auto* e = form.Find("TextColor")) f.textColor = read.Colour(*e);
  if (const auto* e = form.Find("ButtonTextColor")) f.buttonTextColor = read.Colour(*e);

  for (const auto& e : profile::FindSection(sections, "SKINOBJECTS")->entries) {
    d.objects[Lower(e.key)] = read.ReadPiece(e, d.pictures.size());
  }
  for (const auto& e : profile::FindSection(sections, "SKINCONTROLS")->entries) {
    d.controls[Lower(e.key)] = read.ReadPiece(e, d.pictures.size());
  }
  return d;
}

}  // namespace skin
