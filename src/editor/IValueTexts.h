#pragma once

#include <cstddef>

// A plug-in's own texts for its parameters' values, in musical units, for
// the panel's readouts and typed values. Values are normalised (0..1).
class IValueTexts {
 public:
  virtual ~IValueTexts() = default;
  // False when the parameter has no text of its own here.
  virtual bool Handles(int paramIndex) const = 0;
  // Writes the value's text into text (capacity bytes, at least 1). Called
  // from the drawing thread without the plug-in's lock: no allocation, no
  // state of the plug-in beyond what the controls hold.
  virtual void Format(int paramIndex, double normalized, char* text, size_t capacity) const = 0;
  // The value a typed text stands for, clamped to the range; false when the
  // text is not a value at all.
  virtual bool Parse(int paramIndex, const char* text, double* normalized) const = 0;
};
