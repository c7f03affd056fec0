// File-type associations, written under HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "reg_fixture.h"
#include "settings/registry.h"

namespace {

using settings::cRegistry;
using settings::RegistryError;
using settings::Variant;

const std::wstring kExtW = L".scrvtst";
const std::wstring kClassW = L"ScrivaneTest.Document";
const std::string kClass = "ScrivaneTest.Document";
const std::wstring kMachineClasses = L"SOFTWARE\\Classes\\";

struct Root {
  HKEY hkey;
  std::wstring prefix;  // what goes before the key names below that root
};
const Root kRoots[] = {{HKEY_CLASSES_ROOT, L""}, {HKEY_LOCAL_MACHINE, kMachineClasses}};

std::wstring Default(const Root& r, const std::wstring& key) {
  const auto s = regtest::Read(r.hkey, r.prefix + key, L"");
  return s ? s->Text() : L"<missing>";
}

// The class key's subtree as "path=default value" lines, sorted.
std::vector<std::wstring> ClassLayout(const Root& r) {
  std::vector<regtest::KeyDump> dump;
  regtest::Dump(r.hkey, r.prefix + kClassW, L"", dump);
  std::vector<std::wstring> lines;
  for (const auto& k : dump) {
    std::wstring line = k.path + L"=";
    for (const auto& v : k.valueNames) line += (v.empty() ? L"(default)" : v) + L";";
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class AssociationTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override {
    denied.Set({});
    Clean();
  }
  static void Clean() {
    for (const auto& r : kRoots) {
      regtest::DeleteTree(r.hkey, r.prefix + kExtW);
      regtest::DeleteTree(r.hkey, r.prefix + kClassW);
    }
  }
  // The error that the last call of the object's association functions kept for its caller.
  void ExpectAssociationError(int32_t number, const std::string& description) const {
    ASSERT_TRUE(reg.AssociationError());
    EXPECT_EQ(number, reg.AssociationError()->Number());
    EXPECT_EQ("test_settings.cRegistry", reg.AssociationError()->Source());
    EXPECT_EQ(description, reg.AssociationError()->Description());
  }
  regtest::DeniedRoots denied;
  cRegistry reg{denied.Gate()};
};

TEST_F(AssociationTest, RequiredArgumentsOnlyWriteFourValuesUnderEachRoot) {
  reg.CreateEXEAssociation("  C:\\Tools\\Viewer.exe  ", kClass, "Scrivane test document", "scrvtst");
  for (const auto& r : kRoots) {
    SCOPED_TRACE(r.prefix.empty() ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(kClassW, Default(r, kExtW));
    EXPECT_EQ(L"Scrivane test document", Default(r, kClassW));
    EXPECT_EQ(L"&Open", Default(r, kClassW + L"\\shell\\open"));
    EXPECT_EQ(L"\"C:\\Tools\\Viewer.exe\" \"%1\"", Default(r, kClassW + L"\\shell\\open\\command"));
    EXPECT_EQ((std::vector<std::wstring>{L"=(default);", L"shell=", L"shell\\open=(default);",
                                         L"shell\\open\\command=(default);"}),
              ClassLayout(r));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), regtest::Read(r.hkey, r.prefix + kClassW, L"")->type);
  }
  // Where the object is left.
  EXPECT_EQ(settings::kLocalMachine, reg.ClassKey());
  EXPECT_EQ(REG_SZ, reg.ValueType());
  EXPECT_EQ("", reg.ValueKey());
  EXPECT_EQ(kClass + "\\shell\\open\\command", reg.SectionKey());
}

TEST_F(AssociationTest, EveryVerbWithDefaultTextsAndTheIcon) {
  reg.CreateEXEAssociation("\"C:\\My Tools\\Viewer.exe\"", kClass, "Doc", "scrvtst", "", true, "", true, "", true, "",
                           0);
  for (const auto& r : kRoots) {
    SCOPED_TRACE(r.prefix.empty() ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE");
    const std::wstring p = L"\"C:\\My Tools\\Viewer.exe\"";
    EXPECT_EQ(L"&Open", Default(r, kClassW + L"\\shell\\open"));
    EXPECT_EQ(p + L" \"%1\"", Default(r, kClassW + L"\\shell\\open\\command"));
    EXPECT_EQ(L"&Print", Default(r, kClassW + L"\\shell\\print"));
    EXPECT_EQ(p + L" /p \"%1\"", Default(r, kClassW + L"\\shell\\print\\command"));
    EXPECT_EQ(L"&Install scrvtst", Default(r, kClassW + L"\\shell\\add"));
    EXPECT_EQ(p + L" /a \"%1\"", Default(r, kClassW + L"\\shell\\add\\command"));
    EXPECT_EQ(L"&New", Default(r, kClassW + L"\\shell\\new"));
    EXPECT_EQ(p + L" /n \"%1\"", Default(r, kClassW + L"\\shell\\new\\command"));
    EXPECT_EQ(p + L",0", Default(r, kClassW + L"\\DefaultIcon"));
  }
  EXPECT_EQ(kClass + "\\DefaultIcon", reg.SectionKey());
}

TEST_F(AssociationTest, GivenMenuTextsAreUsedAndUnrequestedVerbsLeftOut) {
  reg.CreateEXEAssociation("C:\\V.exe", kClass, "Doc", "scrvtst", "&View", false, "P&rint it", true, "Ma&ke", false,
                           "Set &up", 3);
  const Root& r = kRoots[0];
  EXPECT_EQ(L"&View", Default(r, kClassW + L"\\shell\\open"));
  EXPECT_EQ(L"Ma&ke", Default(r, kClassW + L"\\shell\\new"));
  EXPECT_EQ(L"\"C:\\V.exe\",3", Default(r, kClassW + L"\\DefaultIcon"));
  EXPECT_FALSE(regtest::KeyThere(r.hkey, kClassW + L"\\shell\\print"));
  EXPECT_FALSE(regtest::KeyThere(r.hkey, kClassW + L"\\shell\\add"));
}

TEST_F(AssociationTest, FirstFailingWriteRaisesAndEndsTheOperation) {
  denied.Set({settings::kClassesRoot, settings::kLocalMachine});
  try {
    reg.CreateEXEAssociation("C:\\V.exe", kClass, "Doc", "scrvtst");
    FAIL() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_EQ(26001, e.Number());
    EXPECT_EQ("test_settings.cRegistry", e.Source());
    EXPECT_EQ("Failed to set registry value Key: '-2147483648',Section: '.scrvtst',Key: '' to value: "
              "'ScrivaneTest.Document'",
              e.Description());
  }
  denied.Set({});
  for (const auto& r : kRoots) {
    EXPECT_FALSE(regtest::KeyThere(r.hkey, r.prefix + kExtW));
    EXPECT_FALSE(regtest::KeyThere(r.hkey, r.prefix + kClassW));
  }

  // The machine copy failing names its own location, and what came before stays.
  denied.Set({settings::kLocalMachine});
  try {
    reg.CreateEXEAssociation("C:\\V.exe", kClass, "Doc", "scrvtst");
    FAIL() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_EQ("Failed to set registry value Key: '-2147483646',Section: 'SOFTWARE\\Classes\\.scrvtst',Key: '' to "
              "value: 'ScrivaneTest.Document'",
              e.Description());
  }
  EXPECT_EQ(kClassW, Default(kRoots[0], kExtW));
  EXPECT_FALSE(regtest::KeyThere(HKEY_CLASSES_ROOT, kClassW));
  EXPECT_EQ(".scrvtst", reg.SectionKey());
}

TEST_F(AssociationTest, AdditionalVerbsNeedTriplesAndAnExistingClass) {
  reg.CreateEXEAssociation("C:\\V.exe", kClass, "Doc", "scrvtst");
  const auto before = ClassLayout(kRoots[0]);

  // Right after creating the class the object points at HKEY_LOCAL_MACHINE, where the class lives
  // below SOFTWARE\Classes: the class is not found there.
  reg.CreateAdditionalEXEAssociations(kClass, {Variant("edit"), Variant("&Edit"), Variant("e.exe \"%1\"")});
  ASSERT_NO_FATAL_FAILURE(ExpectAssociationError(
      -2147194451, "Error - attempt to create additional associations before class defined."));
  EXPECT_EQ(static_cast<int32_t>(0x800469ADu), reg.AssociationError()->Number());
  EXPECT_EQ(before, ClassLayout(kRoots[0]));

  reg.ClassKey(settings::kClassesRoot);
  reg.CreateAdditionalEXEAssociations(kClass, {Variant("a"), Variant("b"), Variant("c"), Variant("d")});
  ASSERT_NO_FATAL_FAILURE(ExpectAssociationError(
      -2147194452, "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command"));
  EXPECT_EQ(before, ClassLayout(kRoots[0]));

  reg.ClassKey(settings::kClassesRoot);
  reg.CreateAdditionalEXEAssociations(kClass, {});
  EXPECT_FALSE(reg.AssociationError());
  EXPECT_EQ(before, ClassLayout(kRoots[0]));

  reg.ClassKey(settings::kClassesRoot);
  reg.CreateAdditionalEXEAssociations("ScrivaneTest.NoSuchClass", {Variant("a"), Variant("b"), Variant("c")});
  ASSERT_TRUE(reg.AssociationError());
  EXPECT_EQ(-2147194451, reg.AssociationError()->Number());
  EXPECT_FALSE(regtest::KeyThere(HKEY_CLASSES_ROOT, L"ScrivaneTest.NoSuchClass"));
}

TEST_F(AssociationTest, SixItemsAddTwoVerbsUnderBothRoots) {
  reg.CreateEXEAssociation("C:\\V.exe", kClass, "Doc", "scrvtst");
  reg.ClassKey(settings::kClassesRoot);
  reg.CreateAdditionalEXEAssociations(kClass, {Variant("edit"), Variant("&Edit"), Variant("notepad.exe %1"),
                                               Variant("play"), Variant(7), Variant("  p.exe  /x")});
  EXPECT_FALSE(reg.AssociationError());
  for (const auto& r : kRoots) {
    SCOPED_TRACE(r.prefix.empty() ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(L"&Edit", Default(r, kClassW + L"\\shell\\edit"));
    EXPECT_EQ(L"notepad.exe %1", Default(r, kClassW + L"\\shell\\edit\\command"));
    EXPECT_EQ(L"7", Default(r, kClassW + L"\\shell\\play"));
    EXPECT_EQ(L"  p.exe  /x", Default(r, kClassW + L"\\shell\\play\\command"));  // exactly as passed
    EXPECT_EQ(L"&Open", Default(r, kClassW + L"\\shell\\open"));
  }
  EXPECT_EQ(settings::kLocalMachine, reg.ClassKey());
  EXPECT_EQ(kClass + "\\shell\\play\\command", reg.SectionKey());
}

TEST_F(AssociationTest, FailedAdditionalWritesAreSkippedWithoutError) {
  reg.CreateEXEAssociation("C:\\V.exe", kClass, "Doc", "scrvtst");
  reg.ClassKey(settings::kClassesRoot);
  denied.Set({settings::kClassesRoot});
  EXPECT_NO_THROW(reg.CreateAdditionalEXEAssociations(
      kClass, {Variant("edit"), Variant("&Edit"), Variant("e"), Variant("show"), Variant("&Show"), Variant("s")}));
  EXPECT_FALSE(reg.AssociationError());
  EXPECT_FALSE(regtest::KeyThere(HKEY_CLASSES_ROOT, kClassW + L"\\shell\\edit"));
  EXPECT_FALSE(regtest::KeyThere(HKEY_CLASSES_ROOT, kClassW + L"\\shell\\show"));
}

}  // namespace
