#pragma once

#include <atomic>
#include <cstddef>

#include "editor/IValueTexts.h"

class IControl;

// The panel's texts for the knobs' values, in musical units: "312 Hz",
// "1.25 kHz", "64 %", "1/8 triplet", "+45°", "Q 2.10", "6.0 Hz",
// "cos/tri 40 %". Typed values are read in the same units, the unit
// optional ("312", "312 Hz", "0.3k"). The switches have none.
class QuillwaveValueTexts : public IValueTexts {
 public:
  // value in the parameter's own units; prefix: the "Prefix" value, which
  // the note's text includes.
  static void FormatValue(int param, double value, double prefix, char* text, size_t capacity);
  // The value in the parameter's own units, clamped to its range; false
  // when text is not a value of this parameter.
  static bool ParseValue(int param, const char* text, double* value);

  bool Handles(int paramIndex) const override;
  void Format(int paramIndex, double normalized, char* text, size_t capacity) const override;
  bool Parse(int paramIndex, const char* text, double* normalized) const override;

  // The control whose value is the note prefix shown with the note.
  void SetPrefixControl(const IControl* control) { prefix_ = control; }

 private:
  const IControl* prefix_ = nullptr;
};
