// LoadSettings and SaveSettings against the real keys of the throwaway prefix:
// HKEY_LOCAL_MACHINE\Software\Scrivane and the per-user HKEY_CURRENT_USER\Software\Scrivane.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "reg_fixture.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"
#include "settings/registry.h"
#include "settings/start_at_sign_in.h"

namespace {

const std::wstring kKeyW = L"Software\\Scrivane";
const wchar_t* const kNames[] = {L"color",    L"brushwidth", L"erasersize", L"showstartup",  L"textfont",  L"textsize",
                                 L"textbold", L"textitalic", L"textcolor",  L"keepdrawings", L"keepnotice"};

class PersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    AppSettings = settings::AppSettingsRecord{};
  }
  void TearDown() override {
    denied.Set({});
    Clean();
    AppSettings = settings::AppSettingsRecord{};
  }
  static void Clean() {
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, kKeyW);
    regtest::DeleteTree(HKEY_CURRENT_USER, kKeyW);
  }
  // The stored texts in field order; "<missing>" or "<type n>" where there is no REG_SZ.
  static std::vector<std::wstring> StoredTexts(HKEY root) {
    std::vector<std::wstring> out;
    for (const wchar_t* name : kNames) {
      const auto s = regtest::Read(root, kKeyW, name);
      if (!s)
        out.push_back(L"<missing>");
      else if (s->type != REG_SZ)
        out.push_back(L"<type " + std::to_wstring(s->type) + L">");
      else
        out.push_back(s->Text());
    }
    return out;
  }
  // The fields of AppSettings in field order, as text, to be compared at once.
  static std::vector<std::string> Loaded() {
    const settings::AppSettingsRecord& a = AppSettings;
    return {std::to_string(a.color),        std::to_string(a.brushwidth), std::to_string(a.erasersize),
            std::to_string(a.showstartup),  a.textfont,                   std::to_string(a.textsize),
            std::to_string(a.textbold),     std::to_string(a.textitalic), std::to_string(a.textcolor),
            std::to_string(a.keepdrawings), std::to_string(a.keepnotice)};
  }
  static void Put(HKEY root, const wchar_t* name, const std::wstring& text) {
    regtest::PutText(root, kKeyW, name, text);
  }
  regtest::DeniedRoots denied;
  // The record the program would load into and save from.
  static inline settings::AppSettingsRecord AppSettings;
};

TEST_F(PersistenceTest, FirstStartValuesAndTheTextsOfTheFirstSave) {
  AppSettings.erasersize = 24;  // whatever was in memory, the load replaces it
  settings::LoadSettings(AppSettings);
  // Drawings are kept, and the user has not been told yet.
  EXPECT_EQ((std::vector<std::string>{"255", "10", "0", "0", "", "0", "0", "0", "0", "-1", "0"}), Loaded());

  settings::SaveSettings(AppSettings, denied.Gate());
  EXPECT_EQ((std::vector<std::wstring>{L"255", L"10", L"0", L"0", L"", L"0", L"0", L"0", L"0", L"1", L"0"}),
            StoredTexts(HKEY_LOCAL_MACHINE));
  EXPECT_FALSE(regtest::KeyThere(HKEY_CURRENT_USER, kKeyW));
}

TEST_F(PersistenceTest, StoredValuesLoadAndSaveBackUnchanged) {
  const std::vector<std::wstring> texts{L"0",  L"5", L"16",       L"1", L"Times New Roman", L"14",
                                        L"1", L"0", L"16711680", L"0", L"1"};
  for (size_t i = 0; i < texts.size(); ++i) Put(HKEY_LOCAL_MACHINE, kNames[i], texts[i]);
  settings::LoadSettings(AppSettings);
  // Black with a width is not a first start; a stored 1 is true (-1).
  EXPECT_EQ((std::vector<std::string>{"0", "5", "16", "1", "Times New Roman", "14", "-1", "0", "16711680", "0", "-1"}),
            Loaded());
  settings::SaveSettings(AppSettings, denied.Gate());
  EXPECT_EQ(texts, StoredTexts(HKEY_LOCAL_MACHINE));
}

TEST_F(PersistenceTest, BooleansAndShowStartupReadAsNumbers) {
  Put(HKEY_LOCAL_MACHINE, L"color", L"255");
  Put(HKEY_LOCAL_MACHINE, L"showstartup", L"-1");
  Put(HKEY_LOCAL_MACHINE, L"textbold", L"-1");  // any non-zero number is true ...
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(-1, AppSettings.showstartup);  // ... but only 1 turns the help window off
  EXPECT_EQ(settings::kTrue, AppSettings.textbold);
  EXPECT_EQ(settings::kFalse, AppSettings.textitalic);  // absent
  settings::SaveSettings(AppSettings, denied.Gate());
  const auto texts = StoredTexts(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(L"-1", texts[3]);
  EXPECT_EQ(L"1", texts[6]);
  EXPECT_EQ(L"0", texts[7]);
}

TEST_F(PersistenceTest, DwordValueLoadsAndIsRewrittenAsText) {
  Put(HKEY_LOCAL_MACHINE, L"color", L"65280");
  regtest::PutDword(HKEY_LOCAL_MACHINE, kKeyW, L"brushwidth", 20);
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(20, AppSettings.brushwidth);
  settings::SaveSettings(AppSettings, denied.Gate());
  const auto stored = regtest::Read(HKEY_LOCAL_MACHINE, kKeyW, L"brushwidth");
  ASSERT_TRUE(stored);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored->type);
  EXPECT_EQ(L"20", stored->Text());
}

TEST_F(PersistenceTest, FontWithEnvironmentReferencesIsStoredExpandable) {
  ::SetEnvironmentVariableA("SCRIVANE_TEST_FONT", "Courier New");
  AppSettings.color = 255;
  AppSettings.brushwidth = 10;
  AppSettings.textfont = "%SCRIVANE_TEST_FONT%";
  settings::SaveSettings(AppSettings, denied.Gate());
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), regtest::Read(HKEY_LOCAL_MACHINE, kKeyW, L"textfont")->type);
  AppSettings = settings::AppSettingsRecord{};
  settings::LoadSettings(AppSettings);
  EXPECT_EQ("Courier New", AppSettings.textfont);
}

TEST_F(PersistenceTest, ADamagedPenWidthLoadsAsTheFirstStartWidthAndStopsNothing) {
  struct Damage {
    const char* what;
    std::function<void()> store;
  } damages[] = {
      {"abc", [] { Put(HKEY_LOCAL_MACHINE, L"brushwidth", L"abc"); }},
      {"40000", [] { Put(HKEY_LOCAL_MACHINE, L"brushwidth", L"40000"); }},
      {"empty text", [] { Put(HKEY_LOCAL_MACHINE, L"brushwidth", L""); }},
      {"REG_BINARY",
       [] {
         const uint8_t b[] = {20, 0, 0, 0};
         regtest::Put(HKEY_LOCAL_MACHINE, kKeyW, L"brushwidth", REG_BINARY, b, 4);
       }},
  };
  for (const auto& d : damages) {
    SCOPED_TRACE(d.what);
    Clean();
    Put(HKEY_LOCAL_MACHINE, L"color", L"65280");
    d.store();
    Put(HKEY_LOCAL_MACHINE, L"erasersize", L"32");
    Put(HKEY_LOCAL_MACHINE, L"textfont", L"Arial");
    Put(HKEY_LOCAL_MACHINE, L"textitalic", L"1");
    Put(HKEY_LOCAL_MACHINE, L"textcolor", L"16711680");
    AppSettings.brushwidth = 7;  // an old in-memory value must not survive either
    ASSERT_NO_THROW(settings::LoadSettings(AppSettings));
    EXPECT_EQ(65280, AppSettings.color);
    EXPECT_EQ(10, AppSettings.brushwidth);
    EXPECT_EQ(32, AppSettings.erasersize);
    EXPECT_EQ("Arial", AppSettings.textfont);
    EXPECT_EQ(settings::kTrue, AppSettings.textitalic);
    EXPECT_EQ(16711680, AppSettings.textcolor);
    // The next save writes a clean value over the damaged one.
    settings::SaveSettings(AppSettings, denied.Gate());
    EXPECT_EQ((std::vector<std::wstring>{L"65280", L"10", L"32", L"0", L"Arial", L"0", L"0", L"1", L"16711680", L"1",
                                         L"0"}),
              StoredTexts(HKEY_LOCAL_MACHINE));
  }
  // A stored black pen stays black: only a width that was never stored means a first start.
  Clean();
  Put(HKEY_LOCAL_MACHINE, L"color", L"0");
  Put(HKEY_LOCAL_MACHINE, L"brushwidth", L"junk");
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(0, AppSettings.color);
  EXPECT_EQ(10, AppSettings.brushwidth);
}

TEST_F(PersistenceTest, SizesOutsideTheirRangesLoadAsFirstStartValuesAndThoseInsideAsStored) {
  // The texts stored for pen width, eraser size and text size, and what loads from them.
  struct Case {
    const char* what;
    const wchar_t* stored[3];
    int16_t loaded[3];
  } cases[] = {
      {"-1 as text", {L"-1", L"-1", L"-1"}, {10, 8, 0}},
      {"just past the ranges", {L"21", L"33", L"401"}, {10, 8, 0}},
      {"too small", {L"0", L"7", L"-32768"}, {10, 8, 0}},
      {"the lowest working values", {L"1", L"8", L"1"}, {1, 8, 1}},
      {"the highest working values", {L"20", L"32", L"400"}, {20, 32, 400}},
      {"values in between, and 0 where it means the first start", {L"7", L"0", L"0"}, {7, 0, 0}},
      {"REG_DWORD 0xFFFFFFFF everywhere", {nullptr, nullptr, nullptr}, {10, 8, 0}},
  };
  const wchar_t* names[] = {L"brushwidth", L"erasersize", L"textsize"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Clean();
    Put(HKEY_LOCAL_MACHINE, L"color", L"65280");
    for (int f = 0; f < 3; ++f) {
      if (c.stored[f]) {
        Put(HKEY_LOCAL_MACHINE, names[f], c.stored[f]);
      } else {
        regtest::PutDword(HKEY_LOCAL_MACHINE, kKeyW, names[f], 0xFFFFFFFF);
      }
    }
    ASSERT_NO_THROW(settings::LoadSettings(AppSettings));
    EXPECT_EQ(65280, AppSettings.color);
    EXPECT_EQ(c.loaded[0], AppSettings.brushwidth);
    EXPECT_EQ(c.loaded[1], AppSettings.erasersize);
    EXPECT_EQ(c.loaded[2], AppSettings.textsize);
  }
}

TEST_F(PersistenceTest, DamageInEveryOtherKindOfField) {
  Put(HKEY_LOCAL_MACHINE, L"color", L"red");
  Put(HKEY_LOCAL_MACHINE, L"brushwidth", L"5");
  const uint8_t b[] = {'A', 'r', 0};
  regtest::Put(HKEY_LOCAL_MACHINE, kKeyW, L"textfont", REG_BINARY, b, 3);
  Put(HKEY_LOCAL_MACHINE, L"textbold", L"yes");
  Put(HKEY_LOCAL_MACHINE, L"textitalic", L"");
  Put(HKEY_LOCAL_MACHINE, L"textcolor", L"99999999999");
  Put(HKEY_LOCAL_MACHINE, L"textsize", L"12");
  ASSERT_NO_THROW(settings::LoadSettings(AppSettings));
  EXPECT_EQ(0, AppSettings.color);
  EXPECT_EQ(5, AppSettings.brushwidth);
  EXPECT_EQ("", AppSettings.textfont);
  EXPECT_EQ(settings::kFalse, AppSettings.textbold);
  EXPECT_EQ(settings::kFalse, AppSettings.textitalic);
  EXPECT_EQ(0, AppSettings.textcolor);
  EXPECT_EQ(12, AppSettings.textsize);
}

TEST_F(PersistenceTest, MissingValuesLoadAsZeroExceptAPenWidthOfNothing) {
  Put(HKEY_LOCAL_MACHINE, L"color", L"65280");
  Put(HKEY_LOCAL_MACHINE, L"textsize", L"9");
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(65280, AppSettings.color);
  EXPECT_EQ(10, AppSettings.brushwidth) << "a pen 0 pixels wide is no pen";
  EXPECT_EQ(0, AppSettings.erasersize);
  EXPECT_EQ(0, AppSettings.showstartup);
  EXPECT_EQ(9, AppSettings.textsize);
}

TEST_F(PersistenceTest, KeepDrawingsIsOnUnlessAStoredNumberSaysOff) {
  struct Case {
    const char* what;
    std::function<void()> store;
    int16_t keep;
  } cases[] = {
      {"missing: settings from before the switch", [] {}, settings::kTrue},
      {"0", [] { Put(HKEY_LOCAL_MACHINE, L"keepdrawings", L"0"); }, settings::kFalse},
      {"1", [] { Put(HKEY_LOCAL_MACHINE, L"keepdrawings", L"1"); }, settings::kTrue},
      {"REG_DWORD 0", [] { regtest::PutDword(HKEY_LOCAL_MACHINE, kKeyW, L"keepdrawings", 0); }, settings::kFalse},
      {"damaged text", [] { Put(HKEY_LOCAL_MACHINE, L"keepdrawings", L"off"); }, settings::kTrue},
      {"empty text", [] { Put(HKEY_LOCAL_MACHINE, L"keepdrawings", L""); }, settings::kTrue},
      {"bytes",
       [] {
         const uint8_t b[] = {0};
         regtest::Put(HKEY_LOCAL_MACHINE, kKeyW, L"keepdrawings", REG_BINARY, b, 1);
       },
       settings::kTrue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Clean();
    Put(HKEY_LOCAL_MACHINE, L"color", L"65280");
    Put(HKEY_LOCAL_MACHINE, L"keepnotice", L"1");
    c.store();
    AppSettings.keepdrawings = c.keep == settings::kTrue ? settings::kFalse : settings::kTrue;
    ASSERT_NO_THROW(settings::LoadSettings(AppSettings));
    EXPECT_EQ(c.keep, AppSettings.keepdrawings);
    EXPECT_EQ(settings::kTrue, AppSettings.keepnotice) << "the other values load whatever the switch holds";
    settings::SaveSettings(AppSettings, denied.Gate());
    const auto stored = regtest::Read(HKEY_LOCAL_MACHINE, kKeyW, L"keepdrawings");
    ASSERT_TRUE(stored);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored->type);
    EXPECT_EQ(c.keep == settings::kTrue ? L"1" : L"0", stored->Text());
  }
}

// The hotkeys: the words a hotkey control gives, as decimal text. Anything that is not keys the
// program may take for the whole desktop loads as the usual keys, and the others still load.
TEST_F(PersistenceTest, HotkeysLoadWhenTheProgramMayTakeThemAndAsTheUsualKeysOtherwise) {
  settings::LoadSettings(AppSettings);
  settings::SaveSettings(AppSettings, denied.Gate());
  EXPECT_EQ(L"858", regtest::Read(HKEY_LOCAL_MACHINE, kKeyW, L"hotkeypresent")->Text()) << "Ctrl+Shift+Z";
  EXPECT_EQ(L"845", regtest::Read(HKEY_LOCAL_MACHINE, kKeyW, L"hotkeymagnify")->Text()) << "Ctrl+Shift+M";
  EXPECT_EQ(L"856", regtest::Read(HKEY_LOCAL_MACHINE, kKeyW, L"hotkeylive")->Text()) << "Ctrl+Shift+X";
  struct Case {
    const wchar_t* stored;
    int32_t loads;
  } cases[] = {
      {L"1616", 1616},                  // Ctrl+Alt+P
      {L"1136", 1136},                  // Alt+F1
      {L"2906", 2906},                  // Ctrl+Shift+Z with the extended-key flag
      {L"abc", settings::kDefaultHotkeyPresent},
      {L"0", settings::kDefaultHotkeyPresent},
      {L"", settings::kDefaultHotkeyPresent},
      {L"99999999999999", settings::kDefaultHotkeyPresent},
      {L"65626", settings::kDefaultHotkeyPresent},  // past a word
      {L"-1616", settings::kDefaultHotkeyPresent},
      {L"80", settings::kDefaultHotkeyPresent},    // P alone
      {L"336", settings::kDefaultHotkeyPresent},   // Shift+P
      {L"1536", settings::kDefaultHotkeyPresent},  // Ctrl+Alt and no key
      {L"4176", settings::kDefaultHotkeyPresent},  // Ctrl+P with a flag no hotkey has
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.stored)));
    Clean();
    Put(HKEY_LOCAL_MACHINE, L"color", L"65280");
    Put(HKEY_LOCAL_MACHINE, L"hotkeypresent", c.stored);
    Put(HKEY_LOCAL_MACHINE, L"hotkeymagnify", c.stored);
    Put(HKEY_LOCAL_MACHINE, L"hotkeylive", c.stored);
    Put(HKEY_LOCAL_MACHINE, L"textfont", L"Arial");
    AppSettings.hotkeypresent = 1;
    ASSERT_NO_THROW(settings::LoadSettings(AppSettings));
    EXPECT_EQ(c.loads, AppSettings.hotkeypresent);
    EXPECT_EQ(c.loads == settings::kDefaultHotkeyPresent ? settings::kDefaultHotkeyMagnify : c.loads,
              AppSettings.hotkeymagnify);
    EXPECT_EQ(c.loads == settings::kDefaultHotkeyPresent ? settings::kDefaultHotkeyLive : c.loads,
              AppSettings.hotkeylive);
    EXPECT_EQ(65280, AppSettings.color);
    EXPECT_EQ("Arial", AppSettings.textfont);
  }
  // A number stored by hand as REG_DWORD loads too.
  Clean();
  regtest::PutDword(HKEY_LOCAL_MACHINE, kKeyW, L"hotkeypresent", 1616);
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(1616, AppSettings.hotkeypresent);
}

// Starting at sign-in is the value the installer writes; removing a value that is not there is no
// failure.
TEST_F(PersistenceTest, StartingAtSignInIsTheRunValueWithTheProgramInQuotes) {
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, run.c_str(), L"Scrivane");
  EXPECT_FALSE(settings::StartsAtSignIn());
  ASSERT_NO_THROW(settings::SetStartAtSignIn(false, L"C:\\Scrivane\\scrivane.exe"));
  settings::SetStartAtSignIn(true, L"C:\\Program Files\\Scrivane \u00e9\\scrivane.exe");
  EXPECT_TRUE(settings::StartsAtSignIn());
  const auto stored = regtest::Read(HKEY_CURRENT_USER, run, L"Scrivane");
  ASSERT_TRUE(stored);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored->type);
  EXPECT_EQ(L"\"C:\\Program Files\\Scrivane \u00e9\\scrivane.exe\"", stored->Text());
  settings::SetStartAtSignIn(false, L"C:\\Program Files\\Scrivane \u00e9\\scrivane.exe");
  EXPECT_FALSE(settings::StartsAtSignIn());
  EXPECT_FALSE(regtest::Read(HKEY_CURRENT_USER, run, L"Scrivane"));
}

TEST_F(PersistenceTest, AFontNamedInAnyScriptRoundTrips) {
  const std::string font = "\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xD0\x96";  // é€中Ж in UTF-8
  AppSettings.color = 255;
  AppSettings.brushwidth = 10;
  AppSettings.textfont = font;
  settings::SaveSettings(AppSettings, denied.Gate());
  EXPECT_EQ(L"\u00e9\u20ac\u4e2d\u0416", StoredTexts(HKEY_LOCAL_MACHINE)[4]);
  AppSettings = settings::AppSettingsRecord{};
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(font, AppSettings.textfont);
}

TEST_F(PersistenceTest, SavesGoToTheUserWhenTheMachineKeyCannotBeWritten) {
  denied.Set({settings::kLocalMachine});
  settings::LoadSettings(AppSettings);
  ASSERT_NO_THROW(settings::SaveSettings(AppSettings, denied.Gate()));  // the first save of a user without rights
  EXPECT_FALSE(regtest::KeyThere(HKEY_LOCAL_MACHINE, kKeyW));
  EXPECT_EQ((std::vector<std::wstring>{L"255", L"10", L"0", L"0", L"", L"0", L"0", L"0", L"0", L"1", L"0"}),
            StoredTexts(HKEY_CURRENT_USER));

  AppSettings.color = 0xFF0000;
  AppSettings.erasersize = 8;
  ASSERT_NO_THROW(settings::SaveSettings(AppSettings, denied.Gate()));
  AppSettings = settings::AppSettingsRecord{};
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(0xFF0000, AppSettings.color);
  EXPECT_EQ(8, AppSettings.erasersize);
}

TEST_F(PersistenceTest, ThePerUserKeyIsReadOverTheMachineKey) {
  // Machine settings from an earlier version, readable but not writable for this user.
  Put(HKEY_LOCAL_MACHINE, L"color", L"65280");
  Put(HKEY_LOCAL_MACHINE, L"brushwidth", L"15");
  Put(HKEY_LOCAL_MACHINE, L"textfont", L"Arial");
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(65280, AppSettings.color);
  EXPECT_EQ(15, AppSettings.brushwidth);

  denied.Set({settings::kLocalMachine});
  AppSettings.brushwidth = 20;
  settings::SaveSettings(AppSettings, denied.Gate());
  EXPECT_EQ(L"15", StoredTexts(HKEY_LOCAL_MACHINE)[1]);  // untouched
  AppSettings = settings::AppSettingsRecord{};
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(65280, AppSettings.color);  // carried over into the user's copy by the save
  EXPECT_EQ(20, AppSettings.brushwidth);
  EXPECT_EQ("Arial", AppSettings.textfont);
}

TEST_F(PersistenceTest, AMachineSaveRetiresTheStalePerUserCopy) {
  denied.Set({settings::kLocalMachine});
  AppSettings.color = 1;
  AppSettings.brushwidth = 1;
  settings::SaveSettings(AppSettings, denied.Gate());
  ASSERT_TRUE(regtest::KeyThere(HKEY_CURRENT_USER, kKeyW));

  denied.Set({});  // e.g. the same user, now with rights
  AppSettings.color = 2;
  settings::SaveSettings(AppSettings, denied.Gate());
  EXPECT_EQ(L"2", StoredTexts(HKEY_LOCAL_MACHINE)[0]);
  EXPECT_FALSE(regtest::KeyThere(HKEY_CURRENT_USER, kKeyW));
  AppSettings = settings::AppSettingsRecord{};
  settings::LoadSettings(AppSettings);
  EXPECT_EQ(2, AppSettings.color);
}

TEST_F(PersistenceTest, WhenNeitherKeyCanBeWrittenTheMachineErrorReachesTheCaller) {
  denied.Set({settings::kLocalMachine, settings::kCurrentUser});
  settings::LoadSettings(AppSettings);
  try {
    settings::SaveSettings(AppSettings, denied.Gate());
    FAIL() << "save reported success";
  } catch (const settings::RegistryError& e) {
    EXPECT_EQ(26001, e.Number());
    EXPECT_EQ("test_settings.cRegistry", e.Source());
    EXPECT_EQ("Failed to set registry value Key: '-2147483646',Section: 'Software\\Scrivane',Key: 'color' to value: "
              "'255'",
              e.Description());
  }
  EXPECT_FALSE(regtest::KeyThere(HKEY_LOCAL_MACHINE, kKeyW));
  EXPECT_FALSE(regtest::KeyThere(HKEY_CURRENT_USER, kKeyW));
}

}  // namespace
