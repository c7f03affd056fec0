// The decisions of the registry class that need no registry: which string type a text is stored
// as, byte order, the error numbers and texts, and the command lines of file associations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

// Root keys as the class holds them: the predefined handles as 32-bit signed numbers.
constexpr int32_t kClassesRoot = static_cast<int32_t>(0x80000000u);
constexpr int32_t kCurrentUser = static_cast<int32_t>(0x80000001u);
constexpr int32_t kLocalMachine = static_cast<int32_t>(0x80000002u);
constexpr int32_t kUsers = static_cast<int32_t>(0x80000003u);
constexpr int32_t kCurrentConfig = static_cast<int32_t>(0x80000005u);

// Error numbers raised by cRegistry.
constexpr int32_t kErrRegistry = 26001;
constexpr int32_t kErrSetValue = static_cast<int32_t>(0x800469A9u);
constexpr int32_t kErrEnumerateSections = static_cast<int32_t>(0x800469AAu);
constexpr int32_t kErrAssociationItems = static_cast<int32_t>(0x800469ACu);
constexpr int32_t kErrAssociationNoClass = static_cast<int32_t>(0x800469ADu);

// True when the text must be stored as REG_EXPAND_SZ: it holds a "%" and, counting from two
// characters after the first one, another "%". "%TEMP%\x" and "%a%" qualify, "50%" and "%%" do
// not. Only the text decides, never the type the caller asked for.
bool NeedsExpandSz(std::string_view text);

// Byte 0 becomes byte 3, byte 1 byte 2, and so on (REG_DWORD_BIG_ENDIAN).
int32_t ReverseByteOrder(int32_t x);

// "C:\Tools\Viewer.exe" -> "Viewer": the program's name as error sources carry it. Both "\" and
// "/" separate folders; only the last "." of the file name starts the extension.
std::string ProgramBaseName(std::string_view path);

// Descriptions of the errors, joined exactly as users and logs have always seen them; several end
// without a closing quote.
std::string CreateKeyFailedText(std::string_view section);
std::string DeleteKeyFailedText(int32_t root, std::string_view section);
std::string OpenForDeleteFailedText(int32_t root, std::string_view section);
std::string DeleteValueFailedText(int32_t root, std::string_view section, std::string_view name);
std::string SetValueFailedText(int32_t root, std::string_view section, std::string_view name,
                               std::string_view value);
std::string BinaryNeedsBytesText(int32_t root, std::string_view section, std::string_view name);
extern const char kAssociationItemsText[];
extern const char kAssociationNoClassText[];

// File associations. The path trimmed of spaces and enclosed in one pair of double quotes (a quote
// already present at either end is kept, not doubled).
std::string QuoteExePath(std::string_view exePath);
// The quoted path, the switch (" " for open, " /p " for print, ...) and "%1" in double quotes.
std::string VerbCommand(std::string_view quotedPath, std::string_view verbSwitch);
// The quoted path, a comma and the icon index.
std::string IconValue(std::string_view quotedPath, int32_t iconIndex);

}  // namespace settings
