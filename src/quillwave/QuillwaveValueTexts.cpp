#include "quillwave/QuillwaveValueTexts.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/IControl.h"
#include "quillwave/Quillwave.h"

namespace {

constexpr double kCutoffLow = Quillwave::kCutoffLowHz, kCutoffHigh = Quillwave::kCutoffHighHz;
constexpr int kNoteDenominators[] = {1, 2, 4, 8, 16, 32, 64};
constexpr int kLastNote = 6;

double ToUnits(int param, double normalized) {
  const Quillwave::ParamRow& row = Quillwave::ParamTable(param);
  return row.minimum + (row.maximum - row.minimum) * normalized;
}

double ToNormalized(int param, double value) {
  const Quillwave::ParamRow& row = Quillwave::ParamTable(param);
  const double v = std::clamp(value, row.minimum, row.maximum);
  return (v - row.minimum) / (row.maximum - row.minimum);
}

int Truncated(double v, int last) { return std::clamp(int(std::trunc(v)), 0, last); }

// Reads texts such as "  +4.5 kHz ": spaces, a sign, a number, more
// spaces; the rest stays in p.
class Reader {
 public:
  explicit Reader(const char* text) : p_(text) {}

  void SkipSpaces() {
    while (*p_ == ' ' || *p_ == '\t') ++p_;
  }
  // Consumes word (ASCII, any case) when the text continues with it.
  bool Word(const char* word) {
    SkipSpaces();
    const size_t n = std::strlen(word);
    for (size_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(p_[i]);
      if (c == '\0' || std::tolower(c) != static_cast<unsigned char>(word[i])) return false;
    }
    p_ += n;
    return true;
  }
  bool Number(double* out) {
    SkipSpaces();
    double sign = 1.0;
    if (*p_ == '+' || *p_ == '-') sign = *p_++ == '-' ? -1.0 : 1.0;
    // A leading point ("0.5" typed as ".5") reads as it would on paper.
    char buffer[40];
    size_t n = 0;
    if (*p_ == '.') buffer[n++] = '0';
    while (n + 1 < sizeof buffer && ((*p_ >= '0' && *p_ <= '9') || *p_ == '.'))
      buffer[n++] = *p_++;
    double v = 0.0;
    const auto [end, error] = std::from_chars(buffer, buffer + n, v);
    if (n == 0 || error != std::errc() || end != buffer + n || !std::isfinite(v)) return false;
    *out = sign * v;
    return true;
  }
  bool AtEnd() {
    SkipSpaces();
    return *p_ == '\0';
  }

 private:
  const char* p_;
};

// Hz with an optional "k" and unit: "312", "312 Hz", "0.3k", "1.2 kHz".
bool ReadHz(Reader& r, double* hz) {
  if (!r.Number(hz)) return false;
  if (r.Word("khz") || r.Word("k")) *hz *= 1000.0;
  else r.Word("hz");
  return r.AtEnd();
}

bool ReadPercent(Reader& r, double* fraction) {
  if (!r.Number(fraction)) return false;
  r.Word("%");
  *fraction /= 100.0;
  return r.AtEnd();
}

// "1/8", "8" or "1/8 triplet": the note's denominator; a prefix named
// after it is its own switch and is left alone.
bool ReadNote(Reader& r, double* index) {
  double d = 0.0;
  if (!r.Number(&d)) return false;
  if (r.Word("/")) {
    if (d != 1.0 || !r.Number(&d)) return false;
  }
  if (!r.Word("triplet") && !r.Word("\xc3\x97" "4/3") && !r.Word("x4/3")) r.Word("4/3");
  if (!r.AtEnd()) return false;
  *index = d <= 1.0 ? 0.0 : std::clamp(std::round(std::log2(d)), 0.0, double(kLastNote));
  return true;
}

bool ReadShape(Reader& r, double* shape) {
  if (r.Word("cos/tri")) {
    double share = 0.0;
    if (!ReadPercent(r, &share)) return false;
    *shape = share;
    return true;
  }
  if (r.Word("tri/sq")) {
    double share = 0.0;
    if (!ReadPercent(r, &share)) return false;
    *shape = 1.0 + share;
    return true;
  }
  struct Named {
    const char* word;
    double shape;
  };
  for (const Named& n : {Named{"cosine", 0.0}, Named{"cos", 0.0}, Named{"triangle", 1.0},
                         Named{"tri", 1.0}, Named{"square", 2.0}, Named{"sq", 2.0}}) {
    if (r.Word(n.word)) {
      *shape = n.shape;
      return r.AtEnd();
    }
  }
  return r.Number(shape) && r.AtEnd();
}

}  // namespace

void QuillwaveValueTexts::FormatValue(int param, double value, double prefix, char* text,
                                      size_t capacity) {
  if (capacity == 0) return;
  text[0] = '\0';
  switch (param) {
    case Quillwave::kMix:
    case Quillwave::kSymmetry:
      std::snprintf(text, capacity, "%.0f %%", value * 100.0);
      break;
    case Quillwave::kLfoFrequency:
      std::snprintf(text, capacity, "%.1f Hz", value);
      break;
    case Quillwave::kNote: {
      static constexpr const char* kPrefixes[] = {"", " \xc3\x97" "4/3", " triplet"};
      std::snprintf(text, capacity, "1/%d%s", kNoteDenominators[Truncated(value, kLastNote)],
                    kPrefixes[Truncated(prefix, 2)]);
      break;
    }
    case Quillwave::kPhase: {
      const double degrees = std::round((value - 1.5) * 180.0);
      std::snprintf(text, capacity, degrees == 0.0 ? "0\xc2\xb0" : "%+.0f\xc2\xb0", degrees);
      break;
    }
    case Quillwave::kShape:
      if (value <= 0.01)
        std::snprintf(text, capacity, "cosine");
      else if (value < 0.99)
        std::snprintf(text, capacity, "cos/tri %.0f %%", value * 100.0);
      else if (value <= 1.01)
        std::snprintf(text, capacity, "triangle");
      else if (value < 2.0)
        std::snprintf(text, capacity, "tri/sq %.0f %%", (value - 1.0) * 100.0);
      else
        std::snprintf(text, capacity, "square");
      break;
    case Quillwave::kCutoff1:
    case Quillwave::kCutoff2: {
      const double hz = kCutoffLow * std::pow(kCutoffHigh / kCutoffLow, std::clamp(value, 0.0, 1.0));
      if (hz < 999.5)
        std::snprintf(text, capacity, "%.0f Hz", hz);
      else
        std::snprintf(text, capacity, "%.2f kHz", hz / 1000.0);
      break;
    }
    case Quillwave::kResonance:
      std::snprintf(text, capacity, "Q %.2f", value);
      break;
    default:
      break;
  }
}

bool QuillwaveValueTexts::ParseValue(int param, const char* text, double* value) {
  if (!text || !value) return false;
  Reader r(text);
  double v = 0.0;
  bool ok = false;
  switch (param) {
    case Quillwave::kMix:
    case Quillwave::kSymmetry:
      ok = ReadPercent(r, &v);
      break;
    case Quillwave::kLfoFrequency:
      ok = ReadHz(r, &v);
      break;
    case Quillwave::kNote:
      ok = ReadNote(r, &v);
      break;
    case Quillwave::kPhase:
      ok = r.Number(&v);
      if (ok && !r.Word("\xc2\xb0")) r.Word("deg");
      ok = ok && r.AtEnd();
      v = 1.5 + v / 180.0;
      break;
    case Quillwave::kShape:
      ok = ReadShape(r, &v);
      break;
    case Quillwave::kCutoff1:
    case Quillwave::kCutoff2:
      ok = ReadHz(r, &v);
      v = v > 0.0 ? std::log(v / kCutoffLow) / std::log(kCutoffHigh / kCutoffLow) : 0.0;
      break;
    case Quillwave::kResonance:
      r.Word("q");
      ok = r.Number(&v) && r.AtEnd();
      break;
    default:
      return false;
  }
  if (!ok) return false;
  const Quillwave::ParamRow& row = Quillwave::ParamTable(param);
  *value = std::clamp(v, row.minimum, row.maximum);
  return true;
}

bool QuillwaveValueTexts::Handles(int paramIndex) const {
  switch (paramIndex) {
    case Quillwave::kMix:
    case Quillwave::kLfoFrequency:
    case Quillwave::kNote:
    case Quillwave::kPhase:
    case Quillwave::kSymmetry:
    case Quillwave::kShape:
    case Quillwave::kCutoff1:
    case Quillwave::kCutoff2:
    case Quillwave::kResonance:
      return true;
    default:
      return false;
  }
}

void QuillwaveValueTexts::Format(int paramIndex, double normalized, char* text,
                                 size_t capacity) const {
  if (capacity == 0) return;
  text[0] = '\0';
  if (!Handles(paramIndex)) return;
  const double prefix = prefix_ ? ToUnits(Quillwave::kPrefix, prefix_->Value()) : 0.0;
  FormatValue(paramIndex, ToUnits(paramIndex, normalized), prefix, text, capacity);
}

bool QuillwaveValueTexts::Parse(int paramIndex, const char* text, double* normalized) const {
  double v = 0.0;
  if (!Handles(paramIndex) || !ParseValue(paramIndex, text, &v)) return false;
  *normalized = ToNormalized(paramIndex, v);
  return true;
}
