#pragma once

#include <cstddef>
#include <cstdint>

#include "base/GrowBuffer.h"

// One automatable parameter: a named value in its own units with a range, a
// step and a mapping to and from the normalised value 0..1 that the host and
// the editor use.
class IParameter {
 public:
  enum Kind : int32_t {
    kUndefined = 0,
    kBoolean = 1,
    kInteger = 2,
    kEnumeration = 3,
    kContinuous = 4,
  };

  static constexpr int kTextSize = 32;  // name, label and display-text arrays
  // One display-text entry as stored in the list: 36 bytes.
  struct DisplayText {
    int32_t value;
    char text[kTextSize];
  };
  static_assert(sizeof(DisplayText) == 36);

  IParameter() = default;
  IParameter(const IParameter&) = delete;
  IParameter& operator=(const IParameter&) = delete;

  void DefineContinuous(const char* name, double defaultValue, double minimum, double maximum,
                        double step, const char* label = "", double shape = 1.0);
  void DefineInteger(const char* name, int32_t defaultValue, int32_t minimum, int32_t maximum);
  // Off/on switch over 0..1, step 1.
  void DefineBoolean(const char* name, bool defaultValue, const char* label = "");
  // count choices 0 .. count - 1, step 1; name them with AddDisplayText.
  void DefineEnumeration(const char* name, int32_t defaultValue, int32_t count);
  // Appends an entry to the display texts (the text is cut to 31 characters).
  bool AddDisplayText(int32_t value, const char* text);

  double NormalizedFromValue() const { return NormalizedOf(value_); }
  // v (clamped to the range) as a normalised value.
  double NormalizedOf(double v) const;
  double ValueFromNormalized(double n) const;
  // Steps between the minimum and the maximum for a parameter that takes
  // whole steps only (switches, choices, and continuous values whose step
  // is whole); 0 for one that takes any value in its range.
  int32_t StepCount() const;
  // Step rounding for non-continuous kinds, upper clamp only. A value that is
  // not a finite number (given or resulting) leaves the parameter unchanged.
  void SetFromNormalized(double n);
  // Clamped to the range, no rounding. A non-finite v changes nothing.
  void SetClamped(double v);

  // Writes the display text of v into text (capacity bytes, at least 1).
  void FormatValue(double v, bool isNormalized, char* text, bool useDisplayTexts,
                   size_t capacity = kTextSize) const;

  // Text of the first entry whose value equals v truncated, or null.
  const char* DisplayTextFor(double v) const;
  // Value of the first entry whose text equals text exactly; false when none.
  bool ValueForDisplayText(const char* text, double* value) const;
  int32_t DisplayTextCount() const { return displayTexts_.Size() / int32_t(sizeof(DisplayText)); }
  const DisplayText* DisplayTextAt(int32_t i) const;

  // Texts the host asks for.
  const char* NameForHost() const { return name_; }
  // Empty when the current value has a non-empty display text.
  const char* LabelForHost() const;
  void DisplayForHost(char* text, size_t capacity = kTextSize) const;
  void DisplayForHostNormalized(double n, char* text, size_t capacity = kTextSize) const;
  // Value of a text typed by the host: a display text, or a decimal number
  // (negated when the display is negated; 0 when no number starts the text;
  // never infinite or NaN). False when a parameter with display texts has no
  // entry with that text.
  bool ValueFromText(const char* text, double* value) const;

  Kind GetKind() const { return static_cast<Kind>(kind_); }
  double Value() const { return value_; }
  double Min() const { return min_; }
  double Max() const { return max_; }
  double Step() const { return step_; }
  double Shape() const { return shape_; }
  double Default() const { return default_; }
  int32_t DisplayPrecision() const { return precision_; }
  const char* Name() const { return name_; }
  const char* Label() const { return label_; }
  bool NegateDisplay() const { return negateDisplay_; }
  void SetNegateDisplay(bool negate) { negateDisplay_ = negate; }

  // Clamp as the mapping uses it: below the minimum -> minimum, else the
  // smaller of v and the maximum.
  double Clamp(double v) const { return v < min_ ? min_ : (max_ < v ? max_ : v); }

 private:
  int32_t kind_ = kUndefined;
  double value_ = 0.0;
  double min_ = 0.0;
  double max_ = 1.0;
  double step_ = 1.0;
  double shape_ = 1.0;
  double default_ = 0.0;
  int32_t precision_ = 0;
  char name_[kTextSize] = {};
  char label_[kTextSize] = {};
  bool negateDisplay_ = false;
  GrowBuffer displayTexts_{4096};
};
