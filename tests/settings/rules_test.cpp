// The registry class's and the settings' decisions that need no registry.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "settings/registry_rules.h"
#include "settings/settings_conversion.h"
#include "settings/variant.h"

namespace {

using settings::Variant;

TEST(RegistryRules, ExpandSzChosenByTheTextAlone) {
  struct Case {
    const char* text;
    bool expand;
  } cases[] = {
      {"%TEMP%\\x", true}, {"%a%", true},  {"50%", false},       {"%%", false},        {"", false},
      {"plain", false},    {"%%%", true},  {"a%%b%", true},      {"x%y", false},       {"%ab", false},
      {"%a", false},       {"a% %", true}, {"100% and 5%", true}, {"%%a", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expand, settings::NeedsExpandSz(c.text)) << '"' << c.text << '"';
}

TEST(RegistryRules, ReverseByteOrderSwapsAllFourBytes) {
  // Bytes 00 00 01 02 as stored, read little-endian, are 0x02010000; big-endian they mean 258.
  EXPECT_EQ(258, settings::ReverseByteOrder(0x02010000));
  EXPECT_EQ(0x78563412, settings::ReverseByteOrder(0x12345678));
  EXPECT_EQ(INT32_MIN, settings::ReverseByteOrder(0x80));
  EXPECT_EQ(0x80, settings::ReverseByteOrder(INT32_MIN));
  EXPECT_EQ(-1, settings::ReverseByteOrder(-1));
  EXPECT_EQ(0x12345678, settings::ReverseByteOrder(settings::ReverseByteOrder(0x12345678)));
}

TEST(RegistryRules, TextFormOfEveryKind) {
  EXPECT_EQ("", settings::TextForm(Variant()));
  EXPECT_EQ("255", settings::TextForm(Variant(255)));
  EXPECT_EQ("-2147483648", settings::TextForm(Variant(INT32_MIN)));
  EXPECT_EQ("-32768", settings::TextForm(Variant(static_cast<int16_t>(-32768))));
  EXPECT_EQ(" 0x10 text ", settings::TextForm(Variant(" 0x10 text ")));
  EXPECT_EQ("1", settings::TextForm(Variant(true)));
  EXPECT_EQ("0", settings::TextForm(Variant(false)));
  EXPECT_EQ("00 1F FF", settings::TextForm(Variant(settings::ByteArray{0x00, 0x1F, 0xFF})));
  EXPECT_EQ("", settings::TextForm(Variant(settings::ByteArray{})));
}

TEST(RegistryRules, ProgramBaseNameDropsFolderAndExtension) {
  // The program's path, and the name it gives.
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Tools\\Viewer.exe", "Viewer"}, {"C:\\Tools\\my.tool.exe", "my.tool"}, {"C:\\dir.with.dots\\prog", "prog"},
      {"/opt/bin/scrivane.exe", "scrivane"}, {"scrivane.exe", "scrivane"}};
  for (const auto& [path, name] : cases) EXPECT_EQ(name, settings::ProgramBaseName(path)) << path;
}

TEST(AssociationText, ExePathTrimmedAndQuotedOnce) {
  // The path as given, and as it goes into a command line.
  const std::pair<const char*, const char*> cases[] = {
      {"  C:\\Tools\\Viewer.exe  ", "\"C:\\Tools\\Viewer.exe\""}, {"\"C:\\Tools\\Viewer.exe\"", "\"C:\\Tools\\Viewer.exe\""},
      {" \"C:\\My Tools\\V.exe", "\"C:\\My Tools\\V.exe\""}, {"C:\\V.exe\"", "\"C:\\V.exe\""}, {"\"", "\"\""},
      {"   ", "\"\""}};
  for (const auto& [given, quoted] : cases) EXPECT_EQ(quoted, settings::QuoteExePath(given)) << given;
}

TEST(SettingsConversion, NumbersFromTextAndDword) {
  EXPECT_EQ(20, settings::ToInteger(Variant("20")));
  EXPECT_EQ(-32768, settings::ToInteger(Variant("-32768")));
  EXPECT_EQ(32767, settings::ToInteger(Variant(" +32767 ")));
  EXPECT_EQ(20, settings::ToInteger(Variant(20)));  // REG_DWORD arrives as a 32-bit integer
  EXPECT_EQ(0, settings::ToInteger(Variant()));      // never stored
  EXPECT_EQ(16711680, settings::ToLong(Variant("16711680")));
  EXPECT_EQ(INT32_MIN, settings::ToLong(Variant("-2147483648")));
  EXPECT_EQ(0, settings::ToLong(Variant()));
}

TEST(SettingsConversion, DamagedValuesGiveNoNumber) {
  const Variant damaged[] = {Variant("abc"), Variant(""), Variant("12a"), Variant("1 2"), Variant("-"),
                             Variant("1.5"), Variant(settings::ByteArray{20, 0, 0, 0}),
                             Variant(std::string("1\0", 2))};
  for (const auto& v : damaged) {
    EXPECT_FALSE(settings::ToInteger(v)) << settings::TextForm(v);
    EXPECT_FALSE(settings::ToLong(v)) << settings::TextForm(v);
    EXPECT_FALSE(settings::ToCondition(v)) << settings::TextForm(v);
  }
  EXPECT_FALSE(settings::ToInteger(Variant("40000")));
  EXPECT_FALSE(settings::ToInteger(Variant("-32769")));
  EXPECT_FALSE(settings::ToInteger(Variant(70000)));
  EXPECT_FALSE(settings::ToLong(Variant("2147483648")));
  EXPECT_FALSE(settings::ToLong(Variant("99999999999999999999999")));
}

TEST(SettingsConversion, ConditionsAndFontText) {
  EXPECT_EQ(true, settings::ToCondition(Variant("1")));
  EXPECT_EQ(true, settings::ToCondition(Variant("-1")));
  EXPECT_EQ(false, settings::ToCondition(Variant("0")));
  EXPECT_EQ(false, settings::ToCondition(Variant()));
  EXPECT_EQ(true, settings::ToCondition(Variant(5)));
  EXPECT_EQ("Arial", settings::ToText(Variant("Arial")));
  EXPECT_EQ("", settings::ToText(Variant("")));  // empty text is a fine font name: the default one
  EXPECT_EQ("", settings::ToText(Variant()));
  EXPECT_EQ("12", settings::ToText(Variant(12)));
  EXPECT_FALSE(settings::ToText(Variant(settings::ByteArray{'A', 0})));
}

TEST(SettingsConversion, FirstStartOnlyWhenBothColourAndWidthAreZero) {
  settings::AppSettingsRecord fresh;
  settings::ApplyFirstStart(fresh);
  EXPECT_EQ(255, fresh.color);
  EXPECT_EQ(10, fresh.brushwidth);

  settings::AppSettingsRecord black;
  black.brushwidth = 5;
  settings::ApplyFirstStart(black);
  EXPECT_EQ(0, black.color);
  EXPECT_EQ(5, black.brushwidth);

  settings::AppSettingsRecord noWidth;
  noWidth.color = 0xFF0000;
  settings::ApplyFirstStart(noWidth);
  EXPECT_EQ(0xFF0000, noWidth.color);
  EXPECT_EQ(0, noWidth.brushwidth);
}

}  // namespace
