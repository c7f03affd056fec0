// How stored registry values become fields of AppSettings and back. A value that was never
// stored (the empty variant) gives the field's empty value; a value that is there but cannot be
// what the field needs (text that is no number, a number out of range, empty text, bytes) gives
// no result, and the load gives the field its first-start value instead of giving up.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/app_settings.h"
#include "settings/variant.h"

namespace settings {

// Plain decimal: optional spaces around, an optional sign, at least one digit.
std::optional<int64_t> ParseDecimal(const std::string& text);

std::optional<int32_t> ToLong(const Variant& v);      // color, textcolor
std::optional<int16_t> ToInteger(const Variant& v);   // brushwidth, erasersize, showstartup, textsize
std::optional<bool> ToCondition(const Variant& v);    // textbold, textitalic: non-zero is true
std::optional<std::string> ToText(const Variant& v);  // textfont

// The registry value names, in field order (the order of every load and save).
inline constexpr std::array<const char*, 14> kValueNames = {
    "color",      "brushwidth", "erasersize",   "showstartup", "textfont",      "textsize",      "textbold",
    "textitalic", "textcolor",  "keepdrawings", "keepnotice",  "hotkeypresent", "hotkeymagnify", "hotkeylive"};
using StoredValues = std::array<Variant, kValueNames.size()>;

// Fills a record from the values read in kValueNames order; unreadable ones stay empty, except
// keepdrawings, which is on unless a number says 0: a missing or damaged switch must not stop
// what the user never turned off; and the hotkeys, which keep their defaults unless the value is
// a combination the program may take (IsUsableHotkey).
AppSettingsRecord RecordFromValues(const StoredValues& values);
// What a save writes, in kValueNames order: the numbers as numbers (written as decimal text),
// the font as text, the booleans as 1 or 0.
StoredValues ValuesFromRecord(const AppSettingsRecord& record);
// First start: no pen colour and no pen width means nothing was ever saved: red, 10 pixels.
void ApplyFirstStart(AppSettingsRecord& record);

// The three sizes have ranges in which they work. A stored value that is damaged (not a number,
// bytes, empty text) or outside its range takes the first-start value instead, rather than a pen
// of width 0 or -1:
//   brushwidth  1..20 pixels (the widths the program offers);                  else 10
//   erasersize  8..32 pixels, or 0 (not chosen yet: the main form makes it 8); else 8
//   textsize    1..400 points, or 0 (labels in the text editor's own size);    else 0
constexpr int16_t kFirstStartPenWidth = 10;
constexpr int16_t kFirstStartEraserSize = 8;
constexpr int16_t kFirstStartTextSize = 0;
// Applied after ApplyFirstStart, which reads a pen width of 0 as "never saved".
void KeepSizesInRange(AppSettingsRecord& record);

}  // namespace settings
