// State chunks as a host or a saved session hands them over: the first byte
// chooses the program (odd) or the bank (even) chunk, the rest is the chunk.
// Whatever was read, the instance must still make finite audio, and the
// state it then reports must survive a round trip unchanged, byte for byte:
// the bank and program chunks read back into the instance give the same
// chunks and parameter values again.
//
// One instance serves every input (making one per input would cost more than
// everything else together); each input starts from whatever state the
// previous one left, which is itself a state some chunk produced.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static fuzz::Instance* plug = new fuzz::Instance;
  const bool bank = (data[0] & 1) == 0;
  plug->SetChunk(bank, data + 1, size - 1);
  plug->CheckedBlock(32);

  // Saving the bank first stores the current values into the current
  // preset, so reading either chunk back restores both.
  const std::vector<uint8_t> bankChunk = plug->GetChunk(true);
  const std::vector<uint8_t> programChunk = plug->GetChunk(false);
  const std::vector<float> values = plug->Parameters();
  const std::vector<uint8_t>& own = bank ? bankChunk : programChunk;
  if (!plug->SetChunk(bank, own.data(), own.size())) fuzz::Fail("own chunk refused");
  if (plug->GetChunk(true) != bankChunk) fuzz::Fail("bank chunk changed in a round trip");
  if (plug->GetChunk(false) != programChunk) fuzz::Fail("program chunk changed in a round trip");
  if (plug->Parameters() != values) fuzz::Fail("parameters changed in a round trip");
  return 0;
}
