#include "base/TextCut.h"

#include <cstring>

namespace {

// Bytes of the sequence a lead byte starts; 0 for a continuation byte.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC0) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

}  // namespace

void CopyTextCut(char* destination, const char* text, std::size_t capacity) {
  if (!destination || capacity == 0) return;
  if (!text) text = "";
  const std::size_t length = std::strlen(text);
  std::size_t n = length < capacity - 1 ? length : capacity - 1;
  if (n < length) {
    // Find the lead byte of the character the cut falls into (at most three
    // continuation bytes back) and leave that character out if it would not
    // end before the cut.
    std::size_t lead = n;
    while (lead > 0 && n - lead < 3 && SequenceLength(static_cast<unsigned char>(text[lead])) == 0)
      --lead;
    const std::size_t need = SequenceLength(static_cast<unsigned char>(text[lead]));
    if (lead < n && need > 1 && lead + need > n) n = lead;
  }
  std::memcpy(destination, text, n);
  destination[n] = 0;
}
