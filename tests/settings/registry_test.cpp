// cRegistry against Wine's real registry, in a test key of HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>

#include "reg_fixture.h"
#include "settings/registry.h"

namespace {

using settings::cRegistry;
using settings::RegistryError;
using settings::Variant;

constexpr char kSource[] = "test_settings.cRegistry";
const std::wstring kTestRootW = L"Software\\ScrivaneTest";
const std::wstring kKeyW = L"Software\\ScrivaneTest\\Registry";
const std::string kKey = "Software\\ScrivaneTest\\Registry";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    regtest::DeleteTree(HKEY_CURRENT_USER, kTestRootW);
    reg.ClassKey(settings::kCurrentUser);
    reg.SectionKey(kKey);
  }
  void TearDown() override {
    denied.Set({});
    regtest::DeleteTree(HKEY_CURRENT_USER, kTestRootW);
  }
  // Writes through the class with the given type.
  void Write(const std::string& name, int32_t type, const Variant& v) {
    reg.ValueKey(name);
    reg.ValueType(type);
    reg.Value(v);
  }
  Variant Read(const std::string& name) {
    reg.ValueKey(name);
    return reg.Value();
  }
  // Runs `f`, expecting a RegistryError; returns it for inspection.
  template <typename F>
  RegistryError Raised(F f) {
    try {
      f();
    } catch (const RegistryError& e) {
      return e;
    }
    ADD_FAILURE() << "no RegistryError";
    return RegistryError(0, "", "");
  }

  regtest::DeniedRoots denied;
  cRegistry reg{denied.Gate()};
};

TEST(RegistryObject, StartsWithNoRootAndEveryOperationFails) {
  cRegistry reg;
  EXPECT_EQ(0, reg.ClassKey());
  EXPECT_EQ("", reg.SectionKey());
  EXPECT_EQ("", reg.ValueKey());
  EXPECT_EQ(0, reg.ValueType());
  EXPECT_TRUE(reg.Default().IsEmpty());

  reg.SectionKey("Software");
  EXPECT_FALSE(reg.KeyExists());
  EXPECT_TRUE(reg.Value().IsEmpty());
  reg.Default(Variant("fallback"));
  EXPECT_EQ(Variant("fallback"), reg.Value());

  reg.SectionKey("Software\\ScrivaneTest");
  reg.ValueKey("v");
  reg.ValueType(REG_SZ);
  try {
    reg.Value(Variant(7));
    FAIL() << "write without a root succeeded";
  } catch (const RegistryError& e) {
    EXPECT_EQ(26001, e.Number());
    EXPECT_EQ(kSource, e.Source());
    EXPECT_EQ("Failed to set registry value Key: '0',Section: 'Software\\ScrivaneTest',Key: 'v' to value: '7'",
              e.Description());
  }
  EXPECT_FALSE(regtest::KeyThere(HKEY_CURRENT_USER, kTestRootW));
}

TEST_F(RegistryTest, MissingValueOrKeyGivesDefaultAndKeepsValueType) {
  reg.ValueType(REG_BINARY);
  EXPECT_TRUE(Read("nothing").IsEmpty());  // the key itself is missing
  EXPECT_EQ(REG_BINARY, reg.ValueType());
  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"other", L"x");
  reg.Default(Variant(static_cast<int16_t>(-5)));
  EXPECT_EQ(Variant(static_cast<int16_t>(-5)), Read("nothing"));
  EXPECT_EQ(REG_BINARY, reg.ValueType());
}

TEST_F(RegistryTest, ReadingAValueSetsValueTypeToTheStoredType) {
  regtest::PutDword(HKEY_CURRENT_USER, kKeyW, L"d", 20);
  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"s", L"twenty");
  reg.ValueType(REG_SZ);
  EXPECT_EQ(Variant(20), Read("d"));
  EXPECT_EQ(REG_DWORD, reg.ValueType());
  EXPECT_EQ(Variant("twenty"), Read("s"));
  EXPECT_EQ(REG_SZ, reg.ValueType());
}

TEST_F(RegistryTest, NumberWrittenAsTextStoresDecimalWithItsTerminator) {
  Write("n", REG_SZ, Variant(255));
  const auto stored = regtest::Read(HKEY_CURRENT_USER, kKeyW, L"n");
  ASSERT_TRUE(stored);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored->type);
  EXPECT_EQ(L"255", stored->Text());
  EXPECT_EQ(4u, regtest::AnsiSize(HKEY_CURRENT_USER, kKey.c_str(), "n"));
  EXPECT_EQ(Variant("255"), Read("n"));

  Write("neg", REG_SZ, Variant(static_cast<int16_t>(-32768)));
  EXPECT_EQ(L"-32768", regtest::Read(HKEY_CURRENT_USER, kKeyW, L"neg")->Text());
  Write("empty", REG_SZ, Variant());
  EXPECT_EQ(L"", regtest::Read(HKEY_CURRENT_USER, kKeyW, L"empty")->Text());
  EXPECT_EQ(Variant(""), Read("empty"));
}

TEST_F(RegistryTest, StringTypeFollowsThePercentSigns) {
  struct Case {
    const char* text;
    int32_t asked;
    DWORD stored;
  } cases[] = {{"%TEMP%\\x", REG_SZ, REG_EXPAND_SZ},
               {"%a%", REG_SZ, REG_EXPAND_SZ},
               {"50%", REG_SZ, REG_SZ},
               {"%%", REG_SZ, REG_SZ},
               {"50%", REG_EXPAND_SZ, REG_SZ},
               {"plain", REG_EXPAND_SZ, REG_SZ}};
  int i = 0;
  for (const auto& c : cases) {
    const std::string name = "v" + std::to_string(i++);
    Write(name, c.asked, Variant(c.text));
    const auto stored = regtest::Read(HKEY_CURRENT_USER, kKeyW, std::wstring(name.begin(), name.end()));
    ASSERT_TRUE(stored);
    EXPECT_EQ(c.stored, stored->type) << c.text;
    EXPECT_EQ(static_cast<int32_t>(c.asked), reg.ValueType()) << "a write does not change ValueType";
  }
}

TEST_F(RegistryTest, ExpandSzReadsBackExpanded) {
  ::SetEnvironmentVariableA("SCRIVANE_TEST_DIR", "C:\\work");
  Write("x", REG_SZ, Variant("%SCRIVANE_TEST_DIR%\\x"));
  EXPECT_EQ(L"%SCRIVANE_TEST_DIR%\\x", regtest::Read(HKEY_CURRENT_USER, kKeyW, L"x")->Text());
  EXPECT_EQ(Variant("C:\\work\\x"), Read("x"));
  EXPECT_EQ(REG_EXPAND_SZ, reg.ValueType());
  // An unknown name stays as written.
  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"u", L"%NO_SUCH_SCRIVANE_VAR%", REG_EXPAND_SZ);
  EXPECT_EQ(Variant("%NO_SUCH_SCRIVANE_VAR%"), Read("u"));
}

TEST_F(RegistryTest, TextsAndNamesOutsideTheAnsiCodePageRoundTrip) {
  // é and € are in code page 1252, 中 and Ж in none of the Western ones: the ANSI functions stored
  // "é€??".
  const std::string font = "\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xD0\x96";  // é€中Ж in UTF-8
  Write("font", REG_SZ, Variant(font));
  EXPECT_EQ(L"\u00e9\u20ac\u4e2d\u0416", regtest::Read(HKEY_CURRENT_USER, kKeyW, L"font")->Text());
  EXPECT_EQ(Variant(font), Read("font"));

  // Value names, key names and expanded environment references as well.
  const std::string name = "\xD0\xA8\xD1\x80\xD0\xB8\xD1\x84\xD1\x82";  // Шрифт
  Write(name, REG_SZ, Variant("x"));
  EXPECT_EQ(L"x", regtest::Read(HKEY_CURRENT_USER, kKeyW, L"\u0428\u0440\u0438\u0444\u0442")->Text());
  EXPECT_EQ(Variant("x"), Read(name));
  settings::TextList names;
  int32_t count = 0;
  reg.EnumerateValues(names, count);
  EXPECT_NE(std::find(names.Items().begin(), names.Items().end(), name), names.Items().end());

  ::SetEnvironmentVariableW(L"SCRIVANE_TEST_FACE", L"\u4e2d\u0416");
  Write("face", REG_SZ, Variant("%SCRIVANE_TEST_FACE% Sans"));
  EXPECT_EQ(Variant("\xE4\xB8\xAD\xD0\x96 Sans"), Read("face"));
  EXPECT_EQ(REG_EXPAND_SZ, reg.ValueType());

  reg.SectionKey(kKey + "\\\xE4\xB8\xAD");  // ...\中
  EXPECT_FALSE(reg.KeyExists());
  EXPECT_TRUE(reg.CreateKey());
  EXPECT_TRUE(regtest::KeyThere(HKEY_CURRENT_USER, kKeyW + L"\\\u4e2d"));
  reg.SectionKey(kKey);
  settings::TextList sections;
  reg.EnumerateSections(sections, count);
  ASSERT_EQ(1, count);
  EXPECT_EQ("\xE4\xB8\xAD", sections[1]);
}

TEST_F(RegistryTest, WhatAnOlderVersionStoredThroughTheAnsiFunctionsReadsTheSame) {
  // An older version wrote its texts in the ANSI code page with RegSetValueExA; it read back what
  // it wrote, and so must this one. "Café" is a text every Western code page holds.
  char ansi[16] = {};
  BOOL lossy = FALSE;
  ASSERT_LT(0, ::WideCharToMultiByte(CP_ACP, 0, L"Caf\u00e9", -1, ansi, sizeof ansi, nullptr, &lossy));
  ASSERT_FALSE(lossy) << "code page " << ::GetACP() << " has no \u00e9";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
  ::RegSetValueExA(key, "textfont", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi),
                   static_cast<DWORD>(strlen(ansi) + 1));
  ::RegSetValueExA(key, "empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  ::RegCloseKey(key);
  EXPECT_EQ(Variant("Caf\xC3\xA9"), Read("textfont"));
  EXPECT_EQ(Variant(""), Read("empty"));
}

TEST_F(RegistryTest, DwordWritesAndBigEndianReads) {
  Write("be", REG_DWORD_BIG_ENDIAN, Variant(-1));
  auto stored = regtest::Read(HKEY_CURRENT_USER, kKeyW, L"be");
  ASSERT_TRUE(stored);
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), stored->type);
  EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}), stored->bytes);
  EXPECT_EQ(Variant(-1), Read("be"));

  Write("small", REG_DWORD, Variant(static_cast<int16_t>(-2)));
  EXPECT_EQ(Variant(-2), Read("small"));
  Write("order", REG_DWORD, Variant(0x01020304));
  EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1}), regtest::Read(HKEY_CURRENT_USER, kKeyW, L"order")->bytes);

  const uint8_t big[] = {0x00, 0x00, 0x01, 0x02};
  regtest::Put(HKEY_CURRENT_USER, kKeyW, L"raw", REG_DWORD_BIG_ENDIAN, big, 4);
  EXPECT_EQ(Variant(258), Read("raw"));
  EXPECT_EQ(REG_DWORD_BIG_ENDIAN, reg.ValueType());
}

TEST_F(RegistryTest, BytesReadExactlyAndWriteBack) {
  const uint8_t three[] = {0x01, 0x00, 0xFE};
  regtest::Put(HKEY_CURRENT_USER, kKeyW, L"bin", REG_BINARY, three, 3);
  const Variant v = Read("bin");
  ASSERT_EQ(Variant::Kind::Bytes, v.GetKind());
  EXPECT_EQ((settings::ByteArray{0x01, 0x00, 0xFE}), v.AsBytes());
  EXPECT_EQ(REG_BINARY, reg.ValueType());
  Write("copy", REG_BINARY, v);
  const auto stored = regtest::Read(HKEY_CURRENT_USER, kKeyW, L"copy");
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), stored->type);
  EXPECT_EQ((std::vector<uint8_t>{0x01, 0x00, 0xFE}), stored->bytes);

  // REG_NONE, REG_LINK and types past REG_MULTI_SZ (here REG_QWORD) all come back as bytes.
  const uint8_t eight[] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (DWORD type : {static_cast<DWORD>(REG_NONE), static_cast<DWORD>(REG_LINK), static_cast<DWORD>(REG_QWORD)}) {
    regtest::Put(HKEY_CURRENT_USER, kKeyW, L"other", type, eight, 8);
    const Variant o = Read("other");
    ASSERT_EQ(Variant::Kind::Bytes, o.GetKind()) << type;
    EXPECT_EQ(settings::ByteArray(eight, eight + 8), o.AsBytes()) << type;
    EXPECT_EQ(static_cast<int32_t>(type), reg.ValueType());
  }
  regtest::Put(HKEY_CURRENT_USER, kKeyW, L"none", REG_BINARY, nullptr, 0);
  EXPECT_EQ(Variant(settings::ByteArray{}), Read("none"));
  Write("emptybin", REG_BINARY, Variant(settings::ByteArray{}));
  EXPECT_EQ(0u, regtest::Read(HKEY_CURRENT_USER, kKeyW, L"emptybin")->bytes.size());
}

TEST_F(RegistryTest, OneMebibyteOfBytesRoundTrips) {
  settings::ByteArray big(1 << 20);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>((i * 7919) >> 3);
  Write("big", REG_BINARY, Variant(big));
  const auto stored = regtest::Read(HKEY_CURRENT_USER, kKeyW, L"big");
  ASSERT_TRUE(stored);
  EXPECT_EQ(big.size(), stored->bytes.size());
  const Variant back = Read("big");
  ASSERT_EQ(Variant::Kind::Bytes, back.GetKind());
  EXPECT_EQ(big.size(), back.AsBytes().size());
  EXPECT_TRUE(big == back.AsBytes());
}

TEST_F(RegistryTest, StringsKeepInnerZerosAndLoseOnlyTheTerminator) {
  const wchar_t multi[] = L"a\0b\0";  // plus the implicit terminator: a, 0, b, 0, 0
  regtest::Put(HKEY_CURRENT_USER, kKeyW, L"multi", REG_MULTI_SZ, multi, sizeof(multi));
  EXPECT_EQ(Variant(std::string("a\0b\0", 4)), Read("multi"));
  EXPECT_EQ(REG_MULTI_SZ, reg.ValueType());
  regtest::Put(HKEY_CURRENT_USER, kKeyW, L"zero", REG_SZ, L"", 0);
  EXPECT_EQ(Variant(""), Read("zero"));
}

TEST_F(RegistryTest, WritesThatCannotBeDoneRaise) {
  // A type the class does not write.
  auto e = Raised([&] { Write("q", REG_QWORD, Variant(1)); });
  EXPECT_EQ(static_cast<int32_t>(0x800469A9u), e.Number());
  EXPECT_EQ(-2147194455, e.Number());
  EXPECT_EQ(kSource, e.Source());
  EXPECT_EQ("Failed to set registry value Key: '-2147483647',Section: 'Software\\ScrivaneTest\\Registry',Key: 'q' to "
            "value: '1'",
            e.Description());
  // A DWORD that is not an integer is refused rather than reported written.
  e = Raised([&] { Write("d", REG_DWORD, Variant("12")); });
  EXPECT_EQ(-2147194455, e.Number());
  EXPECT_EQ("Failed to set registry value Key: '-2147483647',Section: 'Software\\ScrivaneTest\\Registry',Key: 'd' to "
            "value: '12'",
            e.Description());
  // REG_BINARY needs bytes.
  e = Raised([&] { Write("b", REG_BINARY, Variant("text")); });
  EXPECT_EQ(26001, e.Number());
  EXPECT_EQ(kSource, e.Source());
  EXPECT_EQ("Registry value Key: '-2147483647',Section: 'Software\\ScrivaneTest\\Registry',Key: 'b' is REG_BINARY "
            "and needs an array of bytes",
            e.Description());
  for (const wchar_t* name : {L"q", L"d", L"b"}) EXPECT_FALSE(regtest::Read(HKEY_CURRENT_USER, kKeyW, name));
  EXPECT_EQ(REG_BINARY, reg.ValueType());
}

TEST_F(RegistryTest, KeysAreCreatedTestedAndDeleted) {
  reg.SectionKey(kKey + "\\a\\b");
  EXPECT_FALSE(reg.KeyExists());
  EXPECT_TRUE(reg.CreateKey());
  EXPECT_TRUE(reg.KeyExists());
  EXPECT_TRUE(reg.CreateKey());  // already there: opened, still true
  EXPECT_TRUE(reg.DeleteKey());
  EXPECT_FALSE(reg.KeyExists());

  auto e = Raised([&] { reg.DeleteKey(); });
  EXPECT_EQ(26001, e.Number());
  EXPECT_EQ(kSource, e.Source());
  EXPECT_EQ("Failed to delete registry Key: '-2147483647',Section: 'Software\\ScrivaneTest\\Registry\\a\\b",
            e.Description());

  reg.ClassKey(0);
  e = Raised([&] { reg.CreateKey(); });
  EXPECT_EQ(26001, e.Number());
  EXPECT_EQ(kSource, e.Source());
  EXPECT_EQ("Failed to create registry Key: 'Software\\ScrivaneTest\\Registry\\a\\b", e.Description());
}

TEST_F(RegistryTest, DeleteValueAndItsTwoFailures) {
  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"gone", L"x");
  reg.ValueKey("gone");
  EXPECT_TRUE(reg.DeleteValue());
  EXPECT_FALSE(regtest::Read(HKEY_CURRENT_USER, kKeyW, L"gone"));

  auto e = Raised([&] { reg.DeleteValue(); });
  EXPECT_EQ(26001, e.Number());
  EXPECT_EQ(kSource, e.Source());
  EXPECT_EQ("Failed to delete registry Key: '-2147483647',Section: 'Software\\ScrivaneTest\\Registry',Key: 'gone",
            e.Description());

  reg.SectionKey(kKey + "\\missing");
  e = Raised([&] { reg.DeleteValue(); });
  EXPECT_EQ(26001, e.Number());
  EXPECT_EQ("Failed to open key '-2147483647',Section: 'Software\\ScrivaneTest\\Registry\\missing' for delete access",
            e.Description());
}

TEST_F(RegistryTest, EnumerationsAreIndexedFromOne) {
  settings::TextList names;
  int32_t count = 99;
  EXPECT_TRUE(reg.EnumerateValues(names, count));  // key missing
  EXPECT_EQ(0, count);
  EXPECT_TRUE(names.IsEmpty());
  EXPECT_TRUE(reg.EnumerateSections(names, count));
  EXPECT_EQ(0, count);
  EXPECT_TRUE(names.IsEmpty());

  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"a", L"1");
  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"b", L"2");
  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"a much longer value name", L"3");
  EXPECT_TRUE(reg.EnumerateValues(names, count));
  ASSERT_EQ(3, count);
  EXPECT_EQ(3, names.Count());
  // The registry decides the order; every name is there once, at 1 to 3.
  std::vector<std::string> values = {names[1], names[2], names[3]};
  std::sort(values.begin(), values.end());
  EXPECT_EQ((std::vector<std::string>{"a", "a much longer value name", "b"}), values);
  EXPECT_THROW(names[0], std::out_of_range);
  EXPECT_THROW(names[4], std::out_of_range);

  // Subkeys, including one whose name has the longest length a key name may have.
  const std::wstring longName(255, L'k');
  for (const std::wstring& sub : {std::wstring(L"x"), std::wstring(L"y"), longName}) {
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, (kKeyW + L"\\" + sub).c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &h, nullptr));
    ::RegCloseKey(h);
  }
  settings::TextList sections;
  EXPECT_TRUE(reg.EnumerateSections(sections, count));
  ASSERT_EQ(3, count);
  std::vector<std::string> got = {sections[1], sections[2], sections[3]};
  std::sort(got.begin(), got.end());
  EXPECT_EQ((std::vector<std::string>{std::string(255, 'k'), "x", "y"}), got);
  // Enumerating values of the key did not pick up the subkeys, nor the reverse.
  EXPECT_TRUE(reg.EnumerateValues(names, count));
  EXPECT_EQ(3, count);
}

TEST_F(RegistryTest, DeniedWritesRaiseTheirErrors) {
  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"kept", L"x");
  denied.Set({settings::kCurrentUser});
  EXPECT_TRUE(reg.KeyExists());  // reading is still allowed
  EXPECT_EQ(Variant("x"), Read("kept"));
  EXPECT_EQ(26001, Raised([&] { Write("new", REG_SZ, Variant("y")); }).Number());
  EXPECT_EQ(26001, Raised([&] { reg.CreateKey(); }).Number());
  EXPECT_EQ("Failed to open key '-2147483647',Section: 'Software\\ScrivaneTest\\Registry' for delete access",
            Raised([&] { reg.DeleteValue(); }).Description());
  EXPECT_EQ(26001, Raised([&] { reg.DeleteKey(); }).Number());
  EXPECT_TRUE(regtest::Read(HKEY_CURRENT_USER, kKeyW, L"kept"));
  EXPECT_FALSE(regtest::Read(HKEY_CURRENT_USER, kKeyW, L"new"));
}

// The handle value the next opened key gets. Handles are handed out from the lowest free slot
// (Wine) or the most recently freed one (Windows), so with nothing leaked in between the same
// value comes back; every leaked key moves it. (GetProcessHandleCount is a stub under Wine.)
uintptr_t NextKeyHandle() {
  HKEY h = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &h) != ERROR_SUCCESS) return 0;
  ::RegCloseKey(h);
  return reinterpret_cast<uintptr_t>(h);
}

TEST_F(RegistryTest, NoKeyHandleOutlivesAnOperation) {
  regtest::PutText(HKEY_CURRENT_USER, kKeyW, L"s", L"x");
  const uintptr_t first = NextKeyHandle();
  ASSERT_NE(0u, first);
  ASSERT_EQ(first, NextKeyHandle());
  {
    // The probe does see a key left open.
    HKEY leaked = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, kKeyW.c_str(), 0, KEY_READ, &leaked));
    EXPECT_NE(first, NextKeyHandle());
    ::RegCloseKey(leaked);
    ASSERT_EQ(first, NextKeyHandle());
  }
  // Every operation on its success and failure paths.
  settings::TextList list;
  int32_t n = 0;
  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"KeyExists", [&] { reg.KeyExists(); }},
      {"CreateKey", [&] { reg.CreateKey(); }},
      {"read", [&] { Read("s"); }},
      {"read missing", [&] { Read("missing"); }},
      {"write text", [&] { Write("w", REG_SZ, Variant("text")); }},
      {"write bytes", [&] { Write("w2", REG_BINARY, Variant(settings::ByteArray{1, 2})); }},
      {"write dword", [&] { Write("w5", REG_DWORD, Variant(5)); }},
      {"write bytes refused", [&] { try { Write("w3", REG_BINARY, Variant(1)); } catch (const RegistryError&) {} }},
      {"write type refused", [&] { try { Write("w4", REG_QWORD, Variant(1)); } catch (const RegistryError&) {} }},
      {"DeleteValue", [&] { reg.ValueKey("w"); reg.DeleteValue(); }},
      {"DeleteValue missing", [&] { try { reg.DeleteValue(); } catch (const RegistryError&) {} }},
      {"EnumerateValues", [&] { reg.EnumerateValues(list, n); }},
      {"EnumerateSections", [&] { reg.EnumerateSections(list, n); }},
      {"sub key", [&] { reg.SectionKey(kKey + "\\sub"); reg.CreateKey(); reg.DeleteKey(); reg.SectionKey(kKey); }},
      {"DeleteValue no key", [&] {
         reg.SectionKey(kKey + "\\none");
         try { reg.DeleteValue(); } catch (const RegistryError&) {}
         reg.SectionKey(kKey);
       }},
  };
  for (const auto& [name, op] : operations) {
    op();
    EXPECT_EQ(first, NextKeyHandle()) << name << " left a key open";
  }
}

}  // namespace
