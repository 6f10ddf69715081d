#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "TestEffect.h"
#include "core/ChunkHeader.h"

namespace {

const double kDefaults[14] = {0.5, 6, 3, 1.5, 0, 1, 0, 0, 0, 0, 0.2, 0.4, 4, 0};

// What the dispatcher does for a program chunk.
StateChunk ProgramChunk(TestEffect& e) {
  StateChunk c;
  chunk_header::Write(c);
  e.SaveState(c);
  return c;
}

StateChunk BankChunk(TestEffect& e) {
  StateChunk c;
  chunk_header::Write(c);
  e.SerializePresets(c);
  return c;
}

int32_t ReadProgram(TestEffect& e, const StateChunk& c) {
  const int32_t start = chunk_header::StatePosition(c);
  return start < 0 ? -1 : e.LoadState(c, start);
}

int32_t ReadBank(TestEffect& e, const StateChunk& c) {
  const int32_t start = chunk_header::StatePosition(c);
  return start < 0 ? -1 : e.UnserializePresets(c, start);
}

StateChunk FromBytes(const uint8_t* bytes, int32_t n) {
  StateChunk c;
  c.Put(bytes, n);
  return c;
}

}  // namespace

TEST(ChunkHeader, BytesAndReading) {
  StateChunk c;
  c.PutDouble(1.0);
  ASSERT_TRUE(chunk_header::Write(c));  // empties first
  const uint8_t header[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  ASSERT_EQ(c.Size(), 8);
  EXPECT_EQ(std::memcmp(c.Data(), header, 8), 0);
  EXPECT_EQ(chunk_header::StatePosition(c), 8);
  EXPECT_EQ(chunk_header::StatePosition(FromBytes(header, 7)), -1);
  EXPECT_EQ(chunk_header::StatePosition(FromBytes(header, 4)), -1);
  EXPECT_EQ(chunk_header::StatePosition(FromBytes(header, 3)), 0);
  EXPECT_EQ(chunk_header::StatePosition(StateChunk()), 0);
  const uint8_t other[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(chunk_header::StatePosition(FromBytes(other, 8)), 0);
}

TEST(ProgramState, FreshInstanceIs120BytesOfHeaderAndDefaults) {
  TestEffect e;
  const StateChunk c = ProgramChunk(e);
  ASSERT_EQ(c.Size(), 120);
  const uint8_t header[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(std::memcmp(c.Data(), header, 8), 0);
  // Mix 0.5 as a little-endian binary64.
  const uint8_t half[8] = {0, 0, 0, 0, 0, 0, 0xE0, 0x3F};
  EXPECT_EQ(std::memcmp(c.Data() + 8, half, 8), 0);
  for (int i = 0; i < 14; ++i) {
    double v;
    ASSERT_EQ(c.GetDouble(&v, 8 + 8 * i), 16 + 8 * i);
    EXPECT_EQ(v, kDefaults[i]) << i;
  }
}

TEST(ProgramState, RoundTripAndHeaderlessState) {
  TestEffect e;
  e.GetParameter(1)->SetClamped(12.3);
  e.GetParameter(13)->SetClamped(2);
  const StateChunk saved = ProgramChunk(e);

  TestEffect f;
  EXPECT_EQ(ReadProgram(f, saved), 120);
  EXPECT_EQ(f.changed.size(), 14u);
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(f.Value(i), e.Value(i)) << i;
    EXPECT_EQ(f.changed[size_t(i)], i);
  }
  // The same values without the header are a program state too.
  const StateChunk bare = FromBytes(saved.Data() + 8, 112);
  TestEffect g;
  EXPECT_EQ(ReadProgram(g, bare), 112);
  EXPECT_EQ(g.Value(1), 12.3);
}

TEST(ProgramState, OutOfRangeValuesAreClamped) {
  TestEffect e;
  StateChunk c;
  for (int i = 0; i < 14; ++i) c.PutDouble(i == 12 ? 9.0 : (i == 0 ? -3.0 : kDefaults[i]));
  EXPECT_EQ(e.LoadState(c, 0), 112);
  EXPECT_EQ(e.Value(12), 4.0);
  EXPECT_EQ(e.Value(0), 0.0);
}

TEST(ProgramState, ShortChunkSetsWhatItCoversAndZeroesTheFirstMissing) {
  TestEffect e;
  e.GetParameter(4)->SetClamped(0.7);
  e.GetParameter(5)->SetClamped(1.7);
  StateChunk c;
  chunk_header::Write(c);
  for (int i = 0; i < 4; ++i) c.PutDouble(1.0);
  c.PutUInt32(0);  // half a value
  e.changed.clear();
  EXPECT_EQ(ReadProgram(e, c), -1);
  EXPECT_EQ(e.Value(0), 1.0);
  EXPECT_EQ(e.Value(3), 1.0);
  EXPECT_EQ(e.Value(4), 0.0);  // clamped 0.0
  EXPECT_EQ(e.Value(5), 1.7);  // the rest keep their values
  EXPECT_EQ(e.changed.size(), 14u);
}

TEST(ProgramState, NonNumbersGiveTheDefaultAndReadingGoesOn) {
  TestEffect e;
  for (int i = 0; i < 14; ++i) e.GetParameter(i)->SetClamped(e.GetParameter(i)->Max());
  StateChunk c;
  const double bad[3] = {std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity()};
  for (int i = 0; i < 14; ++i) c.PutDouble(i < 3 ? bad[i] : 0.1 * i);
  EXPECT_EQ(e.LoadState(c, 0), 112);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(e.Value(i), kDefaults[i]) << i;
  EXPECT_DOUBLE_EQ(e.Value(3), 0.5);  // 0.3 clamped to the minimum
  EXPECT_DOUBLE_EQ(e.Value(9), 0.9);
  for (int i = 0; i < 14; ++i) EXPECT_TRUE(std::isfinite(e.Value(i)));
}

TEST(PresetBank, FreshBankIs618BytesAndRoundTrips) {
  TestEffect e;
  const StateChunk c = BankChunk(e);
  ASSERT_EQ(c.Size(), 618);
  // First record: length 5, "Empty", initialised, the program state.
  EXPECT_EQ(std::memcmp(c.Data() + 8, "\x05\0\0\0Empty\x01", 10), 0);
  double v;
  c.GetDouble(&v, 18);
  EXPECT_EQ(v, 0.5);
  EXPECT_EQ(std::memcmp(c.Data() + 8 + 122, "\x05\0\0\0Empty\x01", 10), 0);

  TestEffect f;
  f.GetParameter(0)->SetClamped(0.9);
  f.ModifyCurrentPreset("mine");
  const int before = f.presetChanges;
  EXPECT_EQ(ReadBank(f, c), 618);
  EXPECT_EQ(f.presetChanges, before + 1);  // the current preset was reloaded
  for (int p = 0; p < 5; ++p) {
    EXPECT_STREQ(f.GetPreset(p)->Name(), "Empty");
    EXPECT_TRUE(f.GetPreset(p)->Initialized());
    EXPECT_EQ(f.GetPreset(p)->State().Size(), 112);
  }
  EXPECT_EQ(f.Value(0), 0.5);
  const StateChunk again = BankChunk(f);
  ASSERT_EQ(again.Size(), 618);
  EXPECT_EQ(std::memcmp(again.Data(), c.Data(), 618), 0);
}

TEST(PresetBank, BankStoresValuesAsClampedAndKeepsEmptyNames) {
  TestEffect e;
  StateChunk c;
  chunk_header::Write(c);
  c.PutString("loud");
  c.PutByte(1);
  for (int i = 0; i < 14; ++i) c.PutDouble(i == 12 ? 9.0 : kDefaults[i]);
  c.PutString("");
  c.PutByte(0);
  EXPECT_EQ(ReadBank(e, c), -1);  // ran out at the third record
  EXPECT_STREQ(e.GetPreset(0)->Name(), "loud");
  double v;
  e.GetPreset(0)->State().GetDouble(&v, 8 * 12);
  EXPECT_EQ(v, 4.0);
  // A zero-length name is an empty name, not the previous record's.
  EXPECT_STREQ(e.GetPreset(1)->Name(), "");
  EXPECT_FALSE(e.GetPreset(1)->Initialized());
  // The record that ran out takes the last name read; its flag stays.
  EXPECT_STREQ(e.GetPreset(2)->Name(), "");
  EXPECT_TRUE(e.GetPreset(2)->Initialized());
}

TEST(PresetBank, NameStopsAtZeroAndLengthsPastTheEndKeepThePreviousName) {
  TestEffect e;
  StateChunk c;
  c.PutInt32(6);
  c.Put("ab\0cde", 6);
  c.PutByte(1);
  for (int i = 0; i < 14; ++i) c.PutDouble(kDefaults[i]);
  c.PutInt32(1000);  // runs past the end
  c.Put("zz", 2);
  EXPECT_EQ(e.UnserializePresets(c, 0), -1);
  EXPECT_STREQ(e.GetPreset(0)->Name(), "ab");
  EXPECT_TRUE(e.GetPreset(0)->Initialized());
  EXPECT_STREQ(e.GetPreset(1)->Name(), "ab");
  EXPECT_TRUE(e.GetPreset(1)->Initialized());  // unchanged
  EXPECT_STREQ(e.GetPreset(2)->Name(), "Empty");
}

TEST(PresetBank, RecordThatRunsOutStillPassesThroughLoadState) {
  // Preset 0 is initialised: the failed position goes to LoadState, which
  // reads nothing but reports every parameter, before the current preset is
  // reloaded (every parameter again). An uninitialised preset skips it.
  for (bool initialised : {true, false}) {
    TestEffect e;
    e.GetPreset(0)->SetInitialized(initialised);
    e.GetParameter(0)->SetClamped(0.9);
    e.changed.clear();
    StateChunk c;
    c.PutInt32(3);
    c.Put("abc", 3);  // the initialised byte is missing
    EXPECT_EQ(e.UnserializePresets(c, 0), -1);
    // Reloading an uninitialised current preset names it and stores the values.
    EXPECT_STREQ(e.GetPreset(0)->Name(), initialised ? "abc" : "user preset 1");
    EXPECT_TRUE(e.GetPreset(0)->Initialized());
    std::vector<int32_t> expected;
    for (int round = 0; round < (initialised ? 2 : 0); ++round)
      for (int32_t i = 0; i < 14; ++i) expected.push_back(i);
    EXPECT_EQ(e.changed, expected) << initialised;
    EXPECT_EQ(e.Value(0), initialised ? 0.5 : 0.9);  // the stored default
  }
}

TEST(PresetBank, NegativeAndEnormousLengthsStopReading) {
  for (int32_t length : {-1, -4, -5, std::numeric_limits<int32_t>::min(),
                         std::numeric_limits<int32_t>::max(), 2147483640}) {
    TestEffect e;
    StateChunk c;
    c.PutInt32(length);
    for (int i = 0; i < 40; ++i) c.PutByte(1);
    EXPECT_EQ(e.UnserializePresets(c, 0), -1) << length;
    EXPECT_STREQ(e.GetPreset(0)->Name(), "") << length;
    EXPECT_STREQ(e.GetPreset(1)->Name(), "Empty") << length;
  }
}

TEST(PresetBank, UninitialisedPresetBecomesNumberedUserPreset) {
  TestEffect e;
  StateChunk c;
  for (int p = 0; p < 5; ++p) {
    c.PutString(p == 2 ? "keep me" : "Empty");
    c.PutByte(p == 2 ? 0 : 1);
    if (p != 2)
      for (int i = 0; i < 14; ++i) c.PutDouble(kDefaults[i]);
  }
  // An earlier state in the slot must not come before the new values.
  e.GetPreset(2)->State().PutDouble(0.0);
  ASSERT_EQ(e.UnserializePresets(c, 0), c.Size());
  EXPECT_FALSE(e.GetPreset(2)->Initialized());

  e.GetParameter(0)->SetClamped(0.8);
  FakeGraphics* g = new FakeGraphics;
  e.AttachEditor(g);
  EXPECT_TRUE(e.LoadPreset(2));  // effSetProgram
  EXPECT_EQ(e.CurrentPresetIndex(), 2);
  EXPECT_STREQ(e.GetPreset(2)->Name(), "user preset 1");
  EXPECT_TRUE(e.GetPreset(2)->Initialized());
  ASSERT_EQ(e.GetPreset(2)->State().Size(), 112);
  double v;
  e.GetPreset(2)->State().GetDouble(&v, 0);
  EXPECT_EQ(v, 0.8);
  EXPECT_EQ(g->pushed.size(), 14u);  // controls refreshed

  e.GetPreset(4)->SetInitialized(false);
  e.GetPreset(3)->SetName("old user preset 7");
  EXPECT_TRUE(e.LoadPreset(4));
  EXPECT_STREQ(e.GetPreset(4)->Name(), "user preset 3");
  e.GetPreset(1)->SetInitialized(false);
  e.GetPreset(1)->SetName("User Preset");  // letter case counts
  EXPECT_TRUE(e.LoadPreset(1));
  EXPECT_STREQ(e.GetPreset(1)->Name(), "user preset 4");
}

TEST(Presets, LoadSwitchesAndRefusesBadIndices) {
  TestEffect e;
  e.GetParameter(5)->SetClamped(2.0);
  e.ModifyCurrentPreset("");
  EXPECT_STREQ(e.GetPreset(0)->Name(), "Empty");  // empty name keeps the old one
  e.ModifyCurrentPreset(std::string(300, 'n').c_str());
  EXPECT_EQ(std::strlen(e.GetPreset(0)->Name()), 255u);

  e.changed.clear();
  EXPECT_TRUE(e.LoadPreset(1));
  EXPECT_EQ(e.Value(5), 1.0);
  EXPECT_EQ(e.changed.size(), 14u);
  EXPECT_EQ(e.CurrentPresetIndex(), 1);
  EXPECT_TRUE(e.LoadPreset(0));
  EXPECT_EQ(e.Value(5), 2.0);
  const int changes = e.presetChanges;
  EXPECT_FALSE(e.LoadPreset(5));
  EXPECT_FALSE(e.LoadPreset(-1));
  EXPECT_EQ(e.presetChanges, changes);
  EXPECT_EQ(e.CurrentPresetIndex(), 0);

  // A preset whose state is too short fails and the index stays.
  e.GetPreset(3)->State().Clear();
  EXPECT_FALSE(e.LoadPreset(3));
  EXPECT_EQ(e.CurrentPresetIndex(), 0);
}

namespace {
void ExpectSane(const TestEffect& e) {
  for (int i = 0; i < 14; ++i) {
    const IParameter* p = e.GetParameter(i);
    ASSERT_TRUE(std::isfinite(p->Value()));
    ASSERT_GE(p->Value(), p->Min());
    ASSERT_LE(p->Value(), p->Max());
  }
  for (int i = 0; i < 5; ++i) ASSERT_LT(std::strlen(e.GetPreset(i)->Name()), 256u);
}
}  // namespace

TEST(GarbageChunks, EveryTruncationIsReadSafely) {
  TestEffect src;
  src.GetPreset(1)->SetName("a longer preset name");
  const StateChunk bank = BankChunk(src);
  const StateChunk program = ProgramChunk(src);
  for (int32_t n = 0; n <= bank.Size(); ++n) {
    TestEffect e;
    const StateChunk cut = FromBytes(bank.Data(), n);
    const int32_t r = ReadBank(e, cut);
    EXPECT_TRUE(r == -1 || r == n) << n;
    EXPECT_EQ(r == n, n == bank.Size()) << n;
    ExpectSane(e);
  }
  for (int32_t n = 0; n <= program.Size(); ++n) {
    TestEffect e;
    const int32_t r = ReadProgram(e, FromBytes(program.Data(), n));
    EXPECT_EQ(r, n == program.Size() ? n : -1) << n;
    ExpectSane(e);
  }
}

TEST(GarbageChunks, RandomBytesNeverCrashOrLeakNonNumbers) {
  std::mt19937 rng(12345);
  TestEffect src;
  const StateChunk bank = BankChunk(src);
  for (int round = 0; round < 3000; ++round) {
    StateChunk c;
    if (round % 2) {
      // A valid bank with random bytes flipped: reaches deeper code.
      c.Put(bank.Data(), bank.Size());
      for (int k = 0; k < 1 + int(rng() % 8); ++k)
        c.Data()[rng() % uint32_t(c.Size())] = uint8_t(rng());
    } else {
      const int32_t n = int32_t(rng() % 700);
      for (int32_t i = 0; i < n; ++i) c.PutByte(uint8_t(rng()));
    }
    TestEffect e;
    const int32_t r = ReadBank(e, c);
    EXPECT_TRUE(r == -1 || (r >= 0 && r <= c.Size()));
    ExpectSane(e);
    TestEffect f;
    const int32_t q = ReadProgram(f, c);
    EXPECT_TRUE(q == -1 || (q >= 0 && q <= c.Size()));
    ExpectSane(f);
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
}
