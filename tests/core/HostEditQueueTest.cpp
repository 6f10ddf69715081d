#include <gtest/gtest.h>

#include <string>

#include "core/HostEditQueue.h"

namespace {
std::string Drain(HostEditQueue& q) {
  std::string out;
  HostEdit e;
  while (q.Pop(e)) out += e.kind == HostEdit::kBegin ? 'B' : e.kind == HostEdit::kEnd ? 'E' : 'A';
  return out;
}
}  // namespace

TEST(HostEditQueue, KeepsOrderAndEveryValueWhileThereIsRoom) {
  HostEditQueue q;
  EXPECT_TRUE(q.Empty());
  q.Push({HostEdit::kBegin, 3, 0.0});
  for (int i = 0; i < 5; ++i) q.Push({HostEdit::kAutomate, 3, i / 10.0});
  q.Push({HostEdit::kEnd, 3, 0.0});
  EXPECT_EQ(Drain(q), "BAAAAAE");
  EXPECT_TRUE(q.Empty());
  // Round and round the ring.
  for (int round = 0; round < 3 * HostEditQueue::kCapacity; ++round) {
    q.Push({HostEdit::kAutomate, round % 7, 0.5});
    HostEdit e;
    ASSERT_TRUE(q.Pop(e));
    EXPECT_EQ(e.index, round % 7);
  }
}

// A host that takes nothing for a long time: values stop piling up, the
// newest value of the parameter being dragged still replaces the last one,
// and the gesture's end always finds room.
TEST(HostEditQueue, WhenFullTheNewestValueAndTheGestureEndStillGetThrough) {
  HostEditQueue q;
  q.Push({HostEdit::kBegin, 0, 0.0});
  for (int i = 0; i < 10 * HostEditQueue::kCapacity; ++i) q.Push({HostEdit::kAutomate, 0, double(i)});
  q.Push({HostEdit::kEnd, 0, 0.0});
  HostEdit e, last{};
  int values = 0;
  ASSERT_TRUE(q.Pop(e));
  EXPECT_EQ(e.kind, HostEdit::kBegin);
  while (q.Pop(e) && e.kind == HostEdit::kAutomate) {
    last = e;
    ++values;
  }
  EXPECT_EQ(values, HostEditQueue::kCapacity - HostEditQueue::kGestureReserve - 1);
  EXPECT_EQ(last.value, 10 * HostEditQueue::kCapacity - 1);
  EXPECT_EQ(e.kind, HostEdit::kEnd);
  EXPECT_TRUE(q.Empty());
}
