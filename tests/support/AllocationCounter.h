#pragma once
// Counts every operator new of the test program while a counter lives. A
// program linking this replaces the global operator new and delete.

namespace testsupport {

class AllocationCounter {
 public:
  AllocationCounter();   // starts counting from 0
  ~AllocationCounter();  // stops counting
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  long Count() const;
  void Stop();  // the count stays readable
};

}  // namespace testsupport
