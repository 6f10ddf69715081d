#pragma once

#include <cstddef>

// Copies text with its terminating zero into a buffer of capacity bytes
// (nothing when capacity is 0). A text that does not fit is cut before the
// UTF-8 sequence that would be split, so the buffer always holds whole
// characters. A null text copies as empty.
void CopyTextCut(char* destination, const char* text, std::size_t capacity);
