#include "core/IParameter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

void CopyCut(char* dst, const char* src, size_t size) {
  if (!src) src = "";
  std::snprintf(dst, size, "%s", src);
}

// v truncated towards zero as a 32-bit integer; false when it does not fit
// (so no out-of-range conversion happens).
bool TruncatedInt(double v, int32_t* out) {
  const double t = std::trunc(v);
  if (!(t >= std::numeric_limits<int32_t>::min() && t <= std::numeric_limits<int32_t>::max()))
    return false;
  *out = static_cast<int32_t>(t);
  return true;
}

// A decimal number as the user typed it, independent of the C locale:
// leading blanks skipped, reading stops where the number ends, 0 when no
// number starts the text. Words such as "nan" or "inf" are no numbers.
double ReadDecimal(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  const bool digitFirst = *text >= '0' && *text <= '9';
  if (!digitFirst && !(*text == '.' && text[1] >= '0' && text[1] <= '9')) return 0.0;
  double v = 0.0;
  const char* end = text + std::strlen(text);
  const auto result = std::from_chars(text, end, v, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Beyond the double range: a negative exponent made it too small, else
    // it is too large.
    const char* e = std::find_if(text, result.ptr, [](char c) { return c == 'e' || c == 'E'; });
    v = (e != result.ptr && e[1] == '-') ? 0.0 : std::numeric_limits<double>::max();
  } else if (result.ec != std::errc()) {
    v = 0.0;
  }
  return negative ? -v : v;
}

}  // namespace

void IParameter::DefineContinuous(const char* name, double defaultValue, double minimum,
                                  double maximum, double step, const char* label, double shape) {
  if (kind_ == kUndefined) kind_ = kContinuous;
  CopyCut(name_, name, sizeof name_);
  CopyCut(label_, label, sizeof label_);
  min_ = minimum;
  value_ = defaultValue;
  default_ = defaultValue;
  step_ = step;
  max_ = maximum > minimum + step ? maximum : minimum + step;

  precision_ = 0;
  for (double s = step; precision_ < 6 && s != std::floor(s); s *= 10.0) ++precision_;

  if (shape != 0.0) shape_ = shape;
}

void IParameter::DefineInteger(const char* name, int32_t defaultValue, int32_t minimum,
                               int32_t maximum) {
  if (kind_ == kUndefined) kind_ = kInteger;
  DefineContinuous(name, defaultValue, minimum, maximum, 1.0, "", 1.0);
}

void IParameter::DefineBoolean(const char* name, bool defaultValue, const char* label) {
  if (kind_ == kUndefined) kind_ = kBoolean;
  DefineContinuous(name, defaultValue ? 1.0 : 0.0, 0.0, 1.0, 1.0, label, 1.0);
}

void IParameter::DefineEnumeration(const char* name, int32_t defaultValue, int32_t count) {
  if (kind_ == kUndefined) kind_ = kEnumeration;
  DefineContinuous(name, defaultValue, 0.0, count > 1 ? count - 1 : 1, 1.0, "", 1.0);
}

bool IParameter::AddDisplayText(int32_t value, const char* text) {
  DisplayText entry{};
  entry.value = value;
  CopyCut(entry.text, text, sizeof entry.text);
  const int32_t old = displayTexts_.Size();
  auto* data = static_cast<uint8_t*>(displayTexts_.Resize(old + int32_t(sizeof entry), false));
  if (!data || displayTexts_.Size() != old + int32_t(sizeof entry)) return false;
  std::memcpy(data + old, &entry, sizeof entry);
  return true;
}

const IParameter::DisplayText* IParameter::DisplayTextAt(int32_t i) const {
  if (i < 0 || i >= DisplayTextCount()) return nullptr;
  return static_cast<const DisplayText*>(displayTexts_.Data()) + i;
}

double IParameter::NormalizedOf(double v) const {
  return std::pow((Clamp(v) - min_) / (max_ - min_), 1.0 / shape_);
}

int32_t IParameter::StepCount() const {
  if (kind_ == kContinuous && step_ < 1.0) return 0;
  if (!(step_ > 0.0) || !(max_ > min_)) return 0;
  const double steps = std::floor((max_ - min_) / step_ + 0.5);
  return steps > 0.0 && steps < 1e6 ? static_cast<int32_t>(steps) : 0;
}

double IParameter::ValueFromNormalized(double n) const {
  return min_ + (max_ - min_) * std::pow(n, shape_);
}

void IParameter::SetFromNormalized(double n) {
  if (!std::isfinite(n)) return;
  double v = ValueFromNormalized(n);
  if (kind_ != kContinuous) v = std::floor(v / step_ + 0.5) * step_;
  // A negative n with a non-integer shape has no real power.
  if (std::isnan(v)) return;
  v = max_ < v ? max_ : v;
  // Without a lower clamp a huge negative n can overflow to -infinity.
  if (!std::isfinite(v)) return;
  value_ = v;
}

void IParameter::SetClamped(double v) {
  if (!std::isfinite(v)) return;
  value_ = Clamp(v);
}

const char* IParameter::DisplayTextFor(double v) const {
  int32_t key;
  if (!TruncatedInt(v, &key)) return nullptr;
  for (int32_t i = 0, n = DisplayTextCount(); i < n; ++i) {
    const DisplayText* e = DisplayTextAt(i);
    if (e->value == key) return e->text;
  }
  return nullptr;
}

bool IParameter::ValueForDisplayText(const char* text, double* value) const {
  if (!text) return false;
  for (int32_t i = 0, n = DisplayTextCount(); i < n; ++i) {
    const DisplayText* e = DisplayTextAt(i);
    if (std::strcmp(e->text, text) == 0) {
      *value = e->value;
      return true;
    }
  }
  return false;
}

void IParameter::FormatValue(double v, bool isNormalized, char* text, bool useDisplayTexts,
                             size_t capacity) const {
  if (!text || capacity == 0) return;
  if (isNormalized) v = ValueFromNormalized(v);
  if (useDisplayTexts && DisplayTextCount() > 0) {
    const char* t = DisplayTextFor(v);
    if (t && t[0]) {
      CopyCut(text, t, capacity);
      return;
    }
  }
  if (negateDisplay_) v = -v;
  if (precision_ == 0) {
    int32_t i;
    if (TruncatedInt(v, &i))
      std::snprintf(text, capacity, "%d", i);
    else  // beyond the integer range, or not a number
      std::snprintf(text, capacity, "%.0f", std::trunc(v));
  } else {
    std::snprintf(text, capacity, "%.*f", precision_, v);
  }
}

const char* IParameter::LabelForHost() const {
  const char* t = DisplayTextCount() > 0 ? DisplayTextFor(value_) : nullptr;
  return t && t[0] ? "" : label_;
}

void IParameter::DisplayForHost(char* text, size_t capacity) const {
  FormatValue(value_, false, text, true, capacity);
}

void IParameter::DisplayForHostNormalized(double n, char* text, size_t capacity) const {
  FormatValue(n, true, text, true, capacity);
}

bool IParameter::ValueFromText(const char* text, double* value) const {
  if (!text || !value) return false;
  if (DisplayTextCount() > 0) return ValueForDisplayText(text, value);
  const double v = ReadDecimal(text);
  *value = negateDisplay_ ? -v : v;
  return true;
}
