// The NSIS installer and uninstaller, run as a Windows user would run them: silent installs to the
// default folder and to one with spaces and non-ASCII letters, an update over a running Scrivane,
// silent uninstalls, and the wizard driven page by page with its sign-in box turned off and the
// settings question answered Yes.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "support/test_support.h"

using namespace e2e;
using namespace testing_support;

namespace {

const std::wstring kVersion = L"" SCRIVANE_VERSION;
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Scrivane";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int kSetupTimeoutMs = 60000;

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t out[MAX_PATH * 2] = {};
  ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, out, nullptr);
  return out;
}

std::wstring ReleaseDir() { return FullPath(BinDir() + L"\\..\\release"); }
std::wstring SetupExe() { return ReleaseDir() + L"\\" SCRIVANE_SETUP_NAME; }

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring out;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) out = path;
  ::CoTaskMemFree(path);
  return out;
}

std::wstring DefaultFolder() { return KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Scrivane"; }
std::wstring Shortcut() { return KnownFolder(FOLDERID_Programs) + L"\\Scrivane.lnk"; }
std::wstring DrawingsFolder() { return KnownFolder(FOLDERID_LocalAppData) + L"\\Scrivane\\Drawings"; }

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> Entries(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return names;
}

void RemoveTree(const std::wstring& folder) {
  for (const std::wstring& name : Entries(folder)) {
    const std::wstring path = folder + L"\\" + name;
    if (::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path);
    } else {
      ::DeleteFileW(path.c_str());
    }
  }
  ::RemoveDirectoryW(folder.c_str());
}

std::optional<std::wstring> ReadString(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t data[2048] = {};
  DWORD size = sizeof data;
  if (::RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return std::nullopt;
  return std::wstring(data);
}

std::optional<DWORD> ReadDword(HKEY root, const wchar_t* key, const wchar_t* value) {
  DWORD data = 0;
  DWORD size = sizeof data;
  if (::RegGetValueW(root, key, value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS) return std::nullopt;
  return data;
}

// Runs a command line and waits for it; its exit code, or nullopt when it did not end in time.
std::optional<DWORD> RunAndWait(std::wstring commandLine, int timeoutMs = kSetupTimeoutMs) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return std::nullopt;
  }
  ::CloseHandle(pi.hThread);
  std::optional<DWORD> code;
  if (WaitUntil([&] { return ::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs)) {
    DWORD c = 0;
    ::GetExitCodeProcess(pi.hProcess, &c);
    code = c;
  } else {
    ::TerminateProcess(pi.hProcess, 1);
  }
  ::CloseHandle(pi.hProcess);
  return code;
}

// The running scrivane.exe processes and the files they were started from.
std::vector<std::pair<DWORD, std::wstring>> ScrivaneProcesses() {
  std::vector<std::pair<DWORD, std::wstring>> found;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    if (Lower(entry.szExeFile) != L"scrivane.exe") continue;
    std::wstring image;
    if (HANDLE p = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID)) {
      wchar_t path[MAX_PATH * 2] = {};
      DWORD size = MAX_PATH * 2;
      if (::QueryFullProcessImageNameW(p, 0, path, &size)) image = path;
      ::CloseHandle(p);
    }
    found.emplace_back(entry.th32ProcessID, image);
  }
  ::CloseHandle(snapshot);
  return found;
}

// The target of a shell link, read through IShellLink as the Start menu reads it.
std::wstring LinkTarget(const std::wstring& link) {
  std::wstring target;
  IShellLinkW* shellLink = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink)))) {
    return target;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
      wchar_t path[MAX_PATH * 2] = {};
      if (SUCCEEDED(shellLink->GetPath(path, MAX_PATH * 2, nullptr, SLGP_RAWPATH))) target = path;
    }
    file->Release();
  }
  shellLink->Release();
  return target;
}

// "x.y.z" from the version resource of a file.
std::wstring FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return L"";
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return L"";
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info) return L"";
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
         L"." + std::to_wstring(HIWORD(info->dwFileVersionLS));
}

// Asks a running copy to end the way the installer does, and waits until no copy runs.
void CloseEveryCopy() {
  for (HWND w = ::FindWindowW(L"ScrivaneMainForm", nullptr); w; w = ::FindWindowW(L"ScrivaneMainForm", nullptr)) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(w, ::RegisterWindowMessageW(L"Scrivane.Close"), 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    if (!WaitUntil([&] { return !::IsWindow(w); }, 5000)) break;
  }
  WaitUntil([] { return ScrivaneProcesses().empty(); }, 10000);
}

// Nothing of an earlier install: no program, no files, no shortcut, no values.
void CleanSlate(const std::vector<std::wstring>& folders) {
  CloseEveryCopy();
  for (const auto& [pid, image] : ScrivaneProcesses()) {
    if (HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
      ::TerminateProcess(p, 1);
      ::WaitForSingleObject(p, 5000);
      ::CloseHandle(p);
    }
  }
  for (const std::wstring& folder : folders) RemoveTree(folder);
  ::DeleteFileW(Shortcut().c_str());
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
  HKEY run = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    ::RegDeleteValueW(run, L"Scrivane");
    ::RegCloseKey(run);
  }
  RemoveTree(DrawingsFolder());
  ::RemoveDirectoryW((KnownFolder(FOLDERID_LocalAppData) + L"\\Scrivane").c_str());
  DeleteScrivaneKeys();
}

// Everything a silent install puts in place for `folder`, checked against the release files.
void ExpectInstalledIn(const std::wstring& folder, bool startsAtSignIn = true) {
  const std::wstring exe = folder + L"\\scrivane.exe";
  const auto shipped = ReadBytes(ReleaseDir() + L"\\scrivane.exe");
  ASSERT_FALSE(shipped.empty());
  EXPECT_TRUE(ReadBytes(exe) == shipped) << "the installed exe is not the release exe";
  EXPECT_TRUE(ReadBytes(folder + L"\\Scrivane.pdf") == ReadBytes(BinDir() + L"\\Scrivane.pdf"));
  EXPECT_TRUE(Exists(folder + L"\\uninstall.exe"));

  EXPECT_EQ(Lower(exe), Lower(LinkTarget(Shortcut()))) << "the Start-menu shortcut";

  EXPECT_EQ(L"Scrivane", ReadString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayName").value_or(L"?"));
  EXPECT_EQ(kVersion, ReadString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion").value_or(L"?"));
  EXPECT_EQ(kVersion, FileVersion(exe)) << "the version resource";
  EXPECT_EQ(L"Scrivane developers", ReadString(HKEY_CURRENT_USER, kUninstallKey, L"Publisher").value_or(L"?"));
  EXPECT_EQ(exe + L",0", ReadString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayIcon").value_or(L"?"));
  EXPECT_EQ(folder, ReadString(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation").value_or(L"?"));
  EXPECT_EQ(L"\"" + folder + L"\\uninstall.exe\"",
            ReadString(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString").value_or(L"?"));
  EXPECT_EQ(L"\"" + folder + L"\\uninstall.exe\" /S",
            ReadString(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString").value_or(L"?"));
  size_t bytes = 0;
  for (const wchar_t* name : {L"scrivane.exe", L"Scrivane.pdf", L"uninstall.exe"}) {
    bytes += ReadBytes(folder + L"\\" + name).size();
  }
  const DWORD kb = ReadDword(HKEY_CURRENT_USER, kUninstallKey, L"EstimatedSize").value_or(0);
  EXPECT_NEAR(static_cast<double>(bytes) / 1024.0, kb, 3.0) << "EstimatedSize in KB";

  const auto run = ReadString(HKEY_CURRENT_USER, kRunKey, L"Scrivane");
  if (startsAtSignIn) {
    EXPECT_EQ(L"\"" + exe + L"\"", run.value_or(L"(none)"));
  } else {
    EXPECT_FALSE(run.has_value()) << "Run value written with the box unchecked";
  }
}

// Nothing of ours in the Start menu, Run or the uninstall key.
void ExpectRegistrationsGone() {
  EXPECT_FALSE(Exists(Shortcut()));
  EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, kRunKey, L"Scrivane").has_value());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Scrivane"));
}

// Drawings Scrivane kept, and files of the user's own in the same folder, some named much like ours.
const std::vector<std::wstring> kKeptDrawings = {L"2026-12-07 14-03-27.png", L"2026-12-07 14-03-27 (2).png",
                                                 L"2026-12-08 09-00-00 (12).PNG"};
const std::vector<std::wstring> kUsersFiles = {L"talk.bmp", L"notes.png", L"2026-12-07 14-03-27 copy.png",
                                               L"2026-12-07 14-03-27 (1).png", L"2026-12-07 14-03-2x.png",
                                               L"2026-12-07 14-03-27 (02).png"};

// The user's things that an uninstall must leave unless asked: settings in both keys, drawings
// Scrivane kept, and the user's own files in the Drawings folder.
void LeaveUserThings() {
  WriteRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "color", "65280");
  WriteRegString(HKEY_CURRENT_USER, kSettingsKey, "color", "65280");
  ::SHCreateDirectoryExW(nullptr, DrawingsFolder().c_str(), nullptr);
  for (const auto* names : {&kKeptDrawings, &kUsersFiles}) {
    for (const std::wstring& name : *names) WriteBytes(DrawingsFolder() + L"\\" + name, {'x'});
  }
}

// The names in the Drawings folder, sorted, without case.
std::vector<std::wstring> DrawingsLeft() {
  std::vector<std::wstring> names;
  for (const std::wstring& n : Entries(DrawingsFolder())) names.push_back(Lower(n));
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
  for (std::wstring& n : names) n = Lower(n);
  std::sort(names.begin(), names.end());
  return names;
}

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(Exists(SetupExe())) << "no installer at " << std::string(SetupExe().begin(), SetupExe().end());
    CleanSlate(folders_);
    // No help window at the starts below: the tests look at the icon.
    WriteRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "showstartup", "1");
  }
  void TearDown() override {
    CleanSlate(folders_);
    ::CoUninitialize();
  }
  std::vector<std::wstring> folders_{DefaultFolder()};
};

TEST_F(InstallerTest, SilentInstallToTheDefaultFolderStartsFromRunAndSilentUninstallLeavesTheSettings) {
  ASSERT_EQ(0u, RunAndWait(L"\"" + SetupExe() + L"\" /S").value_or(99));
  const std::wstring folder = DefaultFolder();
  ExpectInstalledIn(folder);

  // Started as sign-in starts it, from the Run value.
  App app;
  ASSERT_TRUE(app.Start(folder + L"\\scrivane.exe"));
  ASSERT_NE(nullptr, app.WaitFor(kMainForm, kHandOffTimeoutMs));
  EXPECT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));
  const auto running = ScrivaneProcesses();
  ASSERT_EQ(1u, running.size());
  EXPECT_EQ(Lower(folder + L"\\scrivane.exe"), Lower(running[0].second));

  // The uninstall entry's quiet command, as Windows' settings run it: it closes the running copy,
  // hands over to a copy of itself in the temporary folder and returns at once.
  LeaveUserThings();
  const std::wstring quiet = ReadString(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString").value_or(L"");
  ASSERT_FALSE(quiet.empty());
  ASSERT_EQ(0u, RunAndWait(quiet).value_or(99));
  EXPECT_TRUE(WaitUntil([&] { return !Exists(folder); }, kSetupTimeoutMs)) << "the folder is still there";
  EXPECT_TRUE(WaitUntil([] { return !KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Scrivane"); },
                        kSetupTimeoutMs));
  ExpectRegistrationsGone();
  const auto code = app.WaitForExit(10000);
  ASSERT_TRUE(code.has_value()) << "the uninstaller left Scrivane running";
  EXPECT_EQ(0u, *code) << "Scrivane was killed rather than closed";
  EXPECT_EQ(0, CountTrayIcons());

  EXPECT_EQ("65280", ReadRegString(HKEY_LOCAL_MACHINE, kSettingsKey, "color").value_or("gone"));
  EXPECT_EQ("65280", ReadRegString(HKEY_CURRENT_USER, kSettingsKey, "color").value_or("gone"));
  EXPECT_EQ(kKeptDrawings.size() + kUsersFiles.size(), DrawingsLeft().size()) << "every drawing stays";
}

TEST_F(InstallerTest, FolderWithSpacesAndNonAsciiLettersAndAnUpdateOverARunningCopy) {
  // Letters of the ANSI code page only: Wine keeps a shell link's path in that code page alone and
  // reads "\u0119" back as "e" (Windows also stores the UTF-16 path in the link).
  const std::wstring folder = KnownFolder(FOLDERID_LocalAppData) + L"\\Mes Programmes\\Scrivane \u00DCbung \u00F1\u00E9\u017E";
  folders_.push_back(KnownFolder(FOLDERID_LocalAppData) + L"\\Mes Programmes");
  // /D= comes last and is not quoted, spaces and all.
  const std::wstring install = L"\"" + SetupExe() + L"\" /S /D=" + folder;
  ASSERT_EQ(0u, RunAndWait(install).value_or(99));
  ExpectInstalledIn(folder);

  App app;
  ASSERT_TRUE(app.Start(folder + L"\\scrivane.exe"));
  ASSERT_NE(nullptr, app.WaitFor(kMainForm, kHandOffTimeoutMs));
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));

  // The update: the running copy is asked to close, every file is written again (the spoiled
  // manual comes back), and a silent update leaves Scrivane running as it found it.
  WriteBytes(folder + L"\\Scrivane.pdf", {'s', 'p', 'o', 'i', 'l', 't'});
  ASSERT_EQ(0u, RunAndWait(install).value_or(99));
  const auto code = app.WaitForExit(10000);
  ASSERT_TRUE(code.has_value()) << "the running copy was not closed";
  EXPECT_EQ(0u, *code) << "the running copy was killed rather than closed";
  ExpectInstalledIn(folder);
  ASSERT_TRUE(WaitUntil([] { return ::FindWindowW(L"ScrivaneMainForm", nullptr) != nullptr; }, kHandOffTimeoutMs))
      << "Scrivane was not started again after the update";
  EXPECT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));
  Pump(500);
  const auto running = ScrivaneProcesses();
  ASSERT_EQ(1u, running.size()) << "exactly one copy after the update";
  EXPECT_EQ(Lower(folder + L"\\scrivane.exe"), Lower(running[0].second));
  EXPECT_EQ(1, CountTrayIcons());

  // A silent uninstall with _?= runs in place and waits: it closes the running copy too. It cannot
  // remove itself from the folder it runs from; everything else goes.
  LeaveUserThings();
  ASSERT_EQ(0u, RunAndWait(L"\"" + folder + L"\\uninstall.exe\" /S _?=" + folder).value_or(99));
  EXPECT_TRUE(ScrivaneProcesses().empty());
  EXPECT_EQ(0, CountTrayIcons());
  const auto left = Entries(folder);
  ASSERT_EQ(1u, left.size());
  EXPECT_EQ(L"uninstall.exe", Lower(left[0]));
  ExpectRegistrationsGone();
  EXPECT_EQ("65280", ReadRegString(HKEY_CURRENT_USER, kSettingsKey, "color").value_or("gone"));
  EXPECT_TRUE(Exists(DrawingsFolder() + L"\\" + kKeptDrawings[0])) << "a silent uninstall keeps the drawings";
  EXPECT_TRUE(Exists(DrawingsFolder() + L"\\talk.bmp"));
}

TEST_F(InstallerTest, AnUpdateClosesACopyWhoseOnlyWindowIsTheMagnifier) {
  ASSERT_EQ(0u, RunAndWait(L"\"" + SetupExe() + L"\" /S").value_or(99));
  const std::wstring folder = DefaultFolder();
  App app;
  ASSERT_TRUE(app.Start(folder + L"\\scrivane.exe"));
  ASSERT_NE(nullptr, app.WaitFor(kMainForm, kHandOffTimeoutMs));
  ASSERT_TRUE(WaitUntil([] { return CountTrayIcons() == 1; }, 5000));
  // Exit with the magnifier open: the main window and the icon go, the process stays for the
  // magnifier.
  TypeChord({VK_CONTROL, VK_SHIFT, 'M'});
  ASSERT_NE(nullptr, app.WaitFor(kMagnifier, 5000));
  ASSERT_TRUE(ChooseFromTrayMenu(app, /*last=*/true));
  ASSERT_TRUE(WaitUntil([&] { return app.Find(kMainForm) == nullptr; }, 5000));
  ASSERT_TRUE(app.Running());
  ASSERT_NE(nullptr, app.Find(kMagnifier));

  // The update closes it, and does not start again a copy the user had ended.
  ASSERT_EQ(0u, RunAndWait(L"\"" + SetupExe() + L"\" /S").value_or(99));
  const auto code = app.WaitForExit(10000);
  ASSERT_TRUE(code.has_value()) << "the copy with only its magnifier left is still running";
  EXPECT_EQ(0u, *code) << "it was killed rather than closed";
  ExpectInstalledIn(folder);
  EXPECT_TRUE(ScrivaneProcesses().empty()) << "started again after the update";
}

// --- The wizard, as a person clicks through it --------------------------------------------------

// NSIS's outer dialog: the page title in the header, the Next/Install/Finish button (id 1).
constexpr int kHeaderTitle = 1037;
constexpr int kNextButton = 1;
constexpr int kDirectoryEdit = 1019;

HWND WizardOf(const App& app) { return app.WaitFor({L"#32770", std::nullopt, true}, 20000); }

// The text of the page that shows: the header title, or on the welcome and finish pages (which
// have no header) the big title of the page itself.
bool PageShows(HWND wizard, const std::wstring& title) {
  if (HWND header = ::GetDlgItem(wizard, kHeaderTitle); header && ::IsWindowVisible(header) && TextOf(header) == title) {
    return true;
  }
  for (HWND page : Children(wizard)) {
    if (ClassOf(page) == L"#32770" && ::IsWindowVisible(page) && ChildWithText(page, title)) return true;
  }
  return false;
}

HWND PageChild(HWND wizard, const std::wstring& text) {
  for (HWND page : Children(wizard)) {
    if (ClassOf(page) != L"#32770" || !::IsWindowVisible(page)) continue;
    if (HWND c = ChildWithText(page, text)) return c;
  }
  return nullptr;
}

void Press(HWND wizard, int id) {
  HWND button = ::GetDlgItem(wizard, id);
  ASSERT_NE(nullptr, button);
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(button) != FALSE; }, 20000));
  ::PostMessageW(wizard, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// The uninstaller's message box (beside its wizard) whose text holds `text`, once it shows; null
// when none does.
HWND QuestionOf(const App& uninstaller, HWND wizard, const std::wstring& text) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : uninstaller.Windows(true)) {
          if (w != wizard && ClassOf(w) == L"#32770" && MessageBoxText(w).find(text) != std::wstring::npos) {
            found = w;
            return true;
          }
        }
        return false;
      },
      kSetupTimeoutMs);
  return found;
}

void Screenshot(const wchar_t* name) { SaveImageBmp(CaptureScreen(), ScreenshotDir() + L"\\" + name); }

TEST_F(InstallerTest, WizardWithoutStartAtSignInThenUninstallThatRemovesTheSettings) {
  const std::wstring folder = KnownFolder(FOLDERID_LocalAppData) + L"\\Wizard Test\\Scrivane";
  folders_.push_back(KnownFolder(FOLDERID_LocalAppData) + L"\\Wizard Test");

  App setup;
  ASSERT_TRUE(setup.Start(SetupExe()));
  HWND wizard = WizardOf(setup);
  ASSERT_NE(nullptr, wizard);
  ASSERT_TRUE(WaitUntil([&] { return PageShows(wizard, L"Welcome to Scrivane Setup"); }, 10000));
  Pump(300);
  Screenshot(L"installer-1-welcome.bmp");
  Press(wizard, kNextButton);

  ASSERT_TRUE(WaitUntil([&] { return PageShows(wizard, L"Choose Install Location"); }, 10000));
  HWND edit = nullptr;
  for (HWND page : Children(wizard)) {
    if (ClassOf(page) == L"#32770" && ::IsWindowVisible(page)) edit = ::GetDlgItem(page, kDirectoryEdit);
  }
  ASSERT_NE(nullptr, edit);
  EXPECT_EQ(Lower(DefaultFolder()), Lower(TextOf(edit))) << "the default folder";
  ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
  Pump(300);
  Screenshot(L"installer-2-folder.bmp");
  Press(wizard, kNextButton);

  ASSERT_TRUE(WaitUntil([&] { return PageShows(wizard, L"Start-up"); }, 10000));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = PageChild(wizard, L"Start Scrivane when I sign in")) != nullptr; }, 5000));
  EXPECT_EQ(BST_CHECKED, ::SendMessageW(box, BM_GETCHECK, 0, 0)) << "on by default";
  Pump(300);
  Screenshot(L"installer-3-start-up.bmp");
  ::SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
  Press(wizard, kNextButton);  // Install

  ASSERT_TRUE(WaitUntil([&] { return PageShows(wizard, L"Completing Scrivane Setup"); }, kSetupTimeoutMs));
  HWND runNow = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (runNow = PageChild(wizard, L"Start Scrivane now")) != nullptr; }, 5000));
  Pump(300);
  Screenshot(L"installer-4-finish.bmp");
  ::SendMessageW(runNow, BM_SETCHECK, BST_UNCHECKED, 0);
  Press(wizard, kNextButton);  // Finish
  const auto installed = setup.WaitForExit(20000);
  ASSERT_TRUE(installed.has_value());
  EXPECT_EQ(0u, *installed);
  ExpectInstalledIn(folder, /*startsAtSignIn=*/false);
  EXPECT_TRUE(ScrivaneProcesses().empty()) << "started although the finish page's box was unchecked";

  // The uninstaller's question, answered Yes: settings and drawings go too. (With _?= it runs in
  // place instead of from a copy in the temporary folder, so its windows are this process's.)
  LeaveUserThings();
  App uninstall;
  ASSERT_TRUE(uninstall.Start(folder + L"\\uninstall.exe", L"_?=" + folder));
  wizard = WizardOf(uninstall);
  ASSERT_NE(nullptr, wizard);
  ASSERT_TRUE(WaitUntil([&] { return PageShows(wizard, L"Uninstall Scrivane"); }, 10000));
  Press(wizard, kNextButton);  // Uninstall
  // Two questions, the settings first, then the drawings; both answered Yes.
  HWND settingsQuestion = QuestionOf(uninstall, wizard, L"remove your Scrivane settings");
  ASSERT_NE(nullptr, settingsQuestion);
  Screenshot(L"installer-5-uninstall-question.bmp");
  ::PostMessageW(::GetDlgItem(settingsQuestion, IDYES), BM_CLICK, 0, 0);
  HWND drawingsQuestion = QuestionOf(uninstall, wizard, L"remove the drawings Scrivane kept in " + DrawingsFolder());
  ASSERT_NE(nullptr, drawingsQuestion);
  ::PostMessageW(::GetDlgItem(drawingsQuestion, IDYES), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return PageShows(wizard, L"Completing Scrivane Uninstall"); }, kSetupTimeoutMs));
  Press(wizard, kNextButton);  // Finish
  const auto removed = uninstall.WaitForExit(20000);
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(0u, *removed);

  ExpectRegistrationsGone();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kSettingsKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
  // The drawings Scrivane named are gone; the user's own files, and so the folder, stay.
  EXPECT_EQ(Sorted(kUsersFiles), DrawingsLeft());

  // Without the user's files the folder goes too, and the program's folder with it.
  for (const std::wstring& n : Entries(DrawingsFolder())) ::DeleteFileW((DrawingsFolder() + L"\\" + n).c_str());
  WriteBytes(DrawingsFolder() + L"\\" + kKeptDrawings[0], {'x'});
  ASSERT_EQ(0u, RunAndWait(L"\"" + SetupExe() + L"\" /S /D=" + folder).value_or(99));
  App again;
  ASSERT_TRUE(again.Start(folder + L"\\uninstall.exe", L"_?=" + folder));
  wizard = WizardOf(again);
  ASSERT_NE(nullptr, wizard);
  ASSERT_TRUE(WaitUntil([&] { return PageShows(wizard, L"Uninstall Scrivane"); }, 10000));
  Press(wizard, kNextButton);
  auto answer = [&](const std::wstring& text, int button) {
    HWND found = QuestionOf(again, wizard, text);
    ASSERT_NE(nullptr, found) << std::string(text.begin(), text.end());
    ::PostMessageW(::GetDlgItem(found, button), BM_CLICK, 0, 0);
  };
  answer(L"remove your Scrivane settings", IDNO);
  answer(L"remove the drawings Scrivane kept", IDYES);
  ASSERT_TRUE(WaitUntil([&] { return PageShows(wizard, L"Completing Scrivane Uninstall"); }, kSetupTimeoutMs));
  Press(wizard, kNextButton);
  ASSERT_TRUE(again.WaitForExit(20000).has_value());
  EXPECT_FALSE(Exists(DrawingsFolder()));
  EXPECT_FALSE(Exists(KnownFolder(FOLDERID_LocalAppData) + L"\\Scrivane"));
}

}  // namespace
