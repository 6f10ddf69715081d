#pragma once
// Texts the Windows services build from their callers' words: the file
// dialog's filter and a folder taken from a module path. Pure functions,
// kept apart from the dialogs that use them.

#include <string>

namespace winui {

// "*.a;*.b" for the space-separated list "a b"; empty for an empty list.
std::string FilterPattern(const char* extensions);
// The file dialog's filter: the pattern as its own display name, each
// followed by a terminator, and a final terminator; empty without a pattern.
std::string FilterList(const char* extensions);
// The first extension of the list, or empty.
std::string DefaultExtension(const char* extensions);

// The text up to and including the last '\', or empty when there is none or
// nothing follows it.
std::string FolderOfPath(const char* path);

}  // namespace winui
