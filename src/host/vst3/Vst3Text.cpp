#include "host/vst3/Vst3Text.h"

#include <cstdint>

namespace {

// The code point at text, advancing past it.
char32_t NextCodePoint(const unsigned char*& p) {
  const unsigned char c = *p++;
  if (c < 0x80) return c;
  int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (more < 0 || c >= 0xF8) return 0xFFFD;
  char32_t v = c & (0x3F >> more);
  for (; more > 0; --more) {
    if ((*p & 0xC0) != 0x80) return 0xFFFD;
    v = (v << 6) | (*p++ & 0x3F);
  }
  return v > 0x10FFFF || (v >= 0xD800 && v < 0xE000) ? 0xFFFD : v;
}

}  // namespace

void CopyUtf16(char16_t* destination, const char* text, size_t units) {
  if (!destination || units == 0) return;
  size_t n = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*p) {
    const char32_t c = NextCodePoint(p);
    const size_t need = c > 0xFFFF ? 2 : 1;
    if (n + need >= units) break;
    if (need == 2) {
      destination[n++] = char16_t(0xD800 + ((c - 0x10000) >> 10));
      destination[n++] = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      destination[n++] = char16_t(c);
    }
  }
  destination[n] = 0;
}

void CopyFromUtf16(char* destination, const char16_t* text, size_t bytes) {
  if (!destination || bytes == 0) return;
  size_t n = 0;
  for (const char16_t* p = text; p && *p; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    unsigned char out[4];
    size_t len;
    if (c < 0x80) {
      out[0] = uint8_t(c);
      len = 1;
    } else if (c < 0x800) {
      out[0] = uint8_t(0xC0 | (c >> 6));
      out[1] = uint8_t(0x80 | (c & 0x3F));
      len = 2;
    } else if (c < 0x10000) {
      out[0] = uint8_t(0xE0 | (c >> 12));
      out[1] = uint8_t(0x80 | ((c >> 6) & 0x3F));
      out[2] = uint8_t(0x80 | (c & 0x3F));
      len = 3;
    } else {
      out[0] = uint8_t(0xF0 | (c >> 18));
      out[1] = uint8_t(0x80 | ((c >> 12) & 0x3F));
      out[2] = uint8_t(0x80 | ((c >> 6) & 0x3F));
      out[3] = uint8_t(0x80 | (c & 0x3F));
      len = 4;
    }
    if (n + len >= bytes) break;
    for (size_t i = 0; i < len; ++i) destination[n++] = char(out[i]);
  }
  destination[n] = 0;
}
