#include <gtest/gtest.h>

#include <string>

#include "skin_description.h"
#include "text/profile.h"

namespace {

const char kGood[] =
    "; a skin\r\n"
    "[VERSION]\r\nVersion=1\r\nName=绿色\r\n"
    "[PICTURES]\r\npicture=frame.bmp ; the main picture\r\npicture1=parts.png\r\nTransparentColor=FF00FF\r\n"
    "[FORMINFO]\r\nCaptionHeight=30\r\nBorderWidth=4\r\nCaptionFont=WenQuanYi Micro "
    "Hei\r\nCaptionFontHeight=15\r\n"
    "CaptionFontBold=0\r\nCaptionColor=FFE08A\r\nCaptionShadowColor=1a2a10\r\nCaptionTextLeft=38\r\n"
    "SysButtonPos=6,3\r\nMinButtonPos=-32, "
    "3\r\nBodyColor=10301C\r\nTextColor=F0F0E0\r\nFutureKey=whatever\r\n"
    "[SKINOBJECTS]\r\ncaption=0,0,0,200,30,70,0,70,0\r\nSysButton.Normal=1,0,0,24,24\r\n"
    "[SKINCONTROLS]\r\ncheckbox.checked=1,22,48,22,22\r\n";

std::string Without(const std::string& text, const std::string& section) {
  const size_t a = text.find("[" + section + "]");
  const size_t b = text.find('[', a + 1);
  return text.substr(0, a) + (b == std::string::npos ? std::string() : text.substr(b));
}

}  // namespace

TEST(SkinDescription, ReadsAWholeSkin) {
  const auto d = skin::ParseSkinDescription(kGood, "skin.ini");
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->name, "绿色");
  ASSERT_EQ(d->pictures.size(), 2u);
  EXPECT_EQ(d->pictures[0], "frame.bmp");  // the comment after ';' is not part of the name
  EXPECT_EQ(d->pictures[1], "parts.png");
  EXPECT_EQ(d->transparentColor, 0xFF00FFu);
  EXPECT_EQ(d->form.captionHeight, 30);
  EXPECT_EQ(d->form.borderWidth, 4);
  EXPECT_EQ(d->form.captionFont, "WenQuanYi Micro Hei");
  EXPECT_FALSE(d->form.captionFontBold);
  EXPECT_EQ(d->form.captionColor, 0xFFE08Au);
  EXPECT_EQ(d->form.captionShadowColor, 0x1A2A10u);
  EXPECT_FALSE(d->form.captionInactiveColor.has_value());
  EXPECT_EQ(d->form.minButtonPos, (skin::Position{-32, 3}));
  EXPECT_EQ(d->form.bodyColor, 0x10301Cu);
  const skin::Piece* caption = d->Object("caption");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(*caption, (skin::Piece{0, {0, 0, 200, 30}, {70, 0, 70, 0}}));
  // Piece names match regardless of case.
  ASSERT_NE(d->Object("sysbutton.normal"), nullptr);
  EXPECT_EQ(d->Object("sysbutton.normal")->picture, 1);
  ASSERT_NE(d->Control("CHECKBOX.CHECKED"), nullptr);
  EXPECT_EQ(d->Control("checkbox.unchecked"), nullptr);
  EXPECT_EQ(d->Object("checkbox.checked"), nullptr);  // a control, not an object
}

TEST(SkinDescription, WithoutAnyOfTheFiveSectionsItIsNoSkin) {
  for (const char* section : {"VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS"}) {
    EXPECT_FALSE(skin::ParseSkinDescription(Without(kGood, section), "skin.ini").has_value()) << section;
  }
  EXPECT_FALSE(skin::ParseSkinDescription("", "skin.ini").has_value());
  EXPECT_FALSE(skin::ParseSkinDescription("<html>404</html>", "skin.ini").has_value());
  // Section names match regardless of case; empty sections count.
  EXPECT_TRUE(skin::ParseSkinDescription(
                  "[version]\n[Pictures]\npicture=a.bmp\n[forminfo]\n[skinobjects]\n[skincontrols]\n", "s")
                  .has_value());
  // A skin without its main picture's name is no skin either.
  EXPECT_FALSE(skin::ParseSkinDescription("[VERSION]\n[PICTURES]\npicture1=a.png\n[FORMINFO]\n[SKINOBJECTS]\n"
                                          "[SKINCONTROLS]\n",
                                          "s")
                   .has_value());
}

TEST(SkinDescription, MalformedValuesAreErrorsThatNameTheLine) {
  struct Case {
    const char* what;
    std::string replace;   // a line of kGood ...
    std::string with;      // ... replaced by this
    std::string expected;  // part of the message
  } cases[] = {
      {"height not a number", "CaptionHeight=30", "CaptionHeight=thirty", "line 10: CaptionHeight"},
      {"height out of range", "CaptionHeight=30", "CaptionHeight=-1", "CaptionHeight"},
      {"colour too short", "CaptionColor=FFE08A", "CaptionColor=FFF", "CaptionColor"},
      {"colour not hex", "BodyColor=10301C", "BodyColor=10301G", "BodyColor"},
      {"position with one number", "SysButtonPos=6,3", "SysButtonPos=6", "SysButtonPos"},
      {"piece with four numbers", "caption=0,0,0,200,30,70,0,70,0", "caption=0,0,0,200", "caption"},
      {"piece of a missing picture", "SysButton.Normal=1,0,0,24,24", "SysButton.Normal=2,0,0,24,24",
       "picture 2"},
      {"piece without area", "SysButton.Normal=1,0,0,24,24", "SysButton.Normal=1,0,0,0,24", "area"},
      {"piece at a negative place", "SysButton.Normal=1,0,0,24,24", "SysButton.Normal=1,-1,0,24,24", "area"},
      {"margins wider than the piece", "caption=0,0,0,200,30,70,0,70,0", "caption=0,0,0,200,30,120,0,90,0",
       "margins"},
      {"an empty numbered picture", "picture1=parts.png", "picture1=", "picture1"},
      {"a number with trailing text", "BorderWidth=4", "BorderWidth=4px", "BorderWidth"},
  };
  for (const auto& c : cases) {
    std::string text = kGood;
    const size_t at = text.find(c.replace);
    ASSERT_NE(at, std::string::npos) << c.what;
    text.replace(at, c.replace.size(), c.with);
    try {
      skin::ParseSkinDescription(text, "D:\\game\\skin.ini");
      ADD_FAILURE() << c.what << ": no error";
    } catch (const skin::SkinError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("D:\\game\\skin.ini"), std::string::npos) << c.what << ": " << message;
      EXPECT_NE(message.find(c.expected), std::string::npos) << c.what << ": " << message;
    }
  }
}

TEST(Profile, SectionsKeepTheirEntriesInOrder) {
  const auto sections =
      profile::ReadSections("stray=1\r\n[a]\r\nx = 1\r\n; note\r\n\r\nY=\"2\"\r\n[B]\nz=3\n[a]\nx=9\n");
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_EQ(sections[0].name, "a");
  ASSERT_EQ(sections[0].entries.size(), 2u);
  EXPECT_EQ(sections[0].entries[0].key, "x");
  EXPECT_EQ(sections[0].entries[0].value, "1");
  EXPECT_EQ(sections[0].entries[0].line, 3);
  EXPECT_EQ(sections[0].entries[1].value, "2");
  EXPECT_EQ(sections[0].entries[1].line, 6);
  ASSERT_NE(sections[0].Find("y"), nullptr);
  EXPECT_EQ(sections[0].Find("w"), nullptr);
  // The first section of a name is the one found, as the platform reads it.
  ASSERT_NE(profile::FindSection(sections, "A"), nullptr);
  EXPECT_EQ(profile::FindSection(sections, "A")->Find("x")->value, "1");
  EXPECT_EQ(profile::FindSection(sections, "c"), nullptr);
}
