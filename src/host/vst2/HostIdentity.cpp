#include "host/vst2/HostIdentity.h"

#include <cctype>
#include <cstring>

namespace host_identity {

namespace {
struct KnownHost {
  const char* text;
  int32_t id;
};

// Order matters: the first row whose text occurs wins.
constexpr KnownHost kKnownHosts[] = {
    {"cubase", 3},      {"reaper", 1},      {"nuendo", 4},
    {"cakewalk", 5},    {"samplitude", 8},  {"fruity", 7},
    {"live", 9},        {"melodyne", 12},   {"vstmanlib", 13},
    {"aulab", 14},      {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17},   {"orion", 18},
    {"sawstudio", 20},  {"logic", 21},      {"digital", 23},
    {"audiomulch", 25}, {"presonus", 26},   {"vst3plugintesthost", 27},
    {"protools", 2},    {"ardour", 28},     {"standalone", 24},
};
}  // namespace

int32_t IdentifyHostByName(const char* text) {
  char lower[256] = {};
  if (text) {
    for (int i = 0; i < 255 && text[i]; ++i)
      lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
  }
  for (const KnownHost& h : kKnownHosts)
    if (std::strstr(lower, h.text)) return h.id;
  return 0;
}

int32_t VersionWordFromDecimal(int64_t decimal) {
  const int64_t major = decimal / 10000;
  const int64_t minor = (decimal % 10000) / 100;
  const int64_t patch = decimal - major * 10000 - minor * 100;
  return static_cast<int32_t>(major * 65536 + minor * 256 + patch);
}

int32_t DecimalFromVersionWord(int32_t word) {
  const uint32_t w = static_cast<uint32_t>(word);
  return static_cast<int32_t>((w >> 16) * 10000 + ((w >> 8) & 0xFF) * 100 + (w & 0xFF));
}

}  // namespace host_identity
