#include "settings/settings_conversion.h"

#include <limits>

namespace settings {

std::optional<int64_t> ParseDecimal(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const size_t digitsStart = i;
  int64_t magnitude = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    // Anything this large is out of every field's range; stop before int64 overflows.
    if (magnitude > (int64_t{1} << 40)) return std::nullopt;
  }
  if (i == digitsStart) return std::nullopt;
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return std::nullopt;
  return negative ? -magnitude : magnitude;
}

namespace {

// The value as a wide number, or nothing when it is not a number at all.
std::optional<int64_t> AsNumber(const Variant& v) {
  switch (v.GetKind()) {
    case Variant::Kind::Empty:
      return 0;
    case Variant::Kind::Integer:
      return v.AsInteger();
    case Variant::Kind::Long:
      return v.AsLong();
    case Variant::Kind::Boolean:
      return v.AsBoolean() ? -1 : 0;
    case Variant::Kind::Text:
      return ParseDecimal(v.AsText());
    case Variant::Kind::Bytes:
      return std::nullopt;
  }
  return std::nullopt;
}

template <typename T>
std::optional<T> InRange(std::optional<int64_t> n) {
  if (!n || *n < std::numeric_limits<T>::min() || *n > std::numeric_limits<T>::max()) return std::nullopt;
  return static_cast<T>(*n);
}

}  // namespace

std::optional<int32_t> ToLong(const Variant& v) { return InRange<int32_t>(AsNumber(v)); }

std::optional<int16_t> ToInteger(const Variant& v) { return InRange<int16_t>(AsNumber(v)); }

std::optional<bool> ToCondition(const Variant& v) {
  const auto n = AsNumber(v);
  if (!n) return std::nullopt;
  return *n != 0;
}

std::optional<std::string> ToText(const Variant& v) {
  if (v.GetKind() == Variant::Kind::Bytes) return std::nullopt;
  return TextForm(v);
}

AppSettingsRecord RecordFromValues(const StoredValues& values) {
  AppSettingsRecord r;  // every field starts at its empty value
  auto flag = [](const Variant& v) { return ToCondition(v).value_or(false) ? kTrue : kFalse; };
  r.color = ToLong(values[0]).value_or(0);
  // A damaged pen width is not "never saved": it must not make a stored black pen red.
  r.brushwidth = ToInteger(values[1]).value_or(kFirstStartPenWidth);
  r.erasersize = ToInteger(values[2]).value_or(kFirstStartEraserSize);
  r.showstartup = ToInteger(values[3]).value_or(0);
  r.textfont = ToText(values[4]).value_or(std::string());
  r.textsize = ToInteger(values[5]).value_or(kFirstStartTextSize);
  r.textbold = flag(values[6]);
  r.textitalic = flag(values[7]);
  r.textcolor = ToLong(values[8]).value_or(0);
  // Never stored (a first start, or settings from before the switch existed) reads as on.
  const bool keep = values[9].GetKind() == Variant::Kind::Empty || ToCondition(values[9]).value_or(true);
  r.keepdrawings = keep ? kTrue : kFalse;
  r.keepnotice = flag(values[10]);
  auto hotkey = [](const Variant& v, uint16_t fallback) {
    const auto word = ToLong(v);
    return word && IsUsableHotkey(*word) ? *word : int32_t{fallback};
  };
  r.hotkeypresent = hotkey(values[11], kDefaultHotkeyPresent);
  r.hotkeymagnify = hotkey(values[12], kDefaultHotkeyMagnify);
  r.hotkeylive = hotkey(values[13], kDefaultHotkeyLive);
  return r;
}

StoredValues ValuesFromRecord(const AppSettingsRecord& r) {
  auto flag = [](int16_t b) { return Variant(static_cast<int16_t>(b != kFalse ? 1 : 0)); };
  return {Variant(r.color),       Variant(r.brushwidth), Variant(r.erasersize), Variant(r.showstartup),
          Variant(r.textfont),    Variant(r.textsize),   flag(r.textbold),      flag(r.textitalic),
          Variant(r.textcolor),   flag(r.keepdrawings),  flag(r.keepnotice),    Variant(r.hotkeypresent),
          Variant(r.hotkeymagnify), Variant(r.hotkeylive)};
}

void ApplyFirstStart(AppSettingsRecord& record) {
  if (record.color == 0 && record.brushwidth == 0) {
    record.color = 255;
    record.brushwidth = kFirstStartPenWidth;
  }
}

void KeepSizesInRange(AppSettingsRecord& record) {
  if (record.brushwidth < 1 || record.brushwidth > 20) record.brushwidth = kFirstStartPenWidth;
  if (record.erasersize != 0 && (record.erasersize < 8 || record.erasersize > 32)) {
    record.erasersize = kFirstStartEraserSize;
  }
  if (record.textsize < 0 || record.textsize > 400) record.textsize = kFirstStartTextSize;
}

}  // namespace settings
