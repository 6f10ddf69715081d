#pragma once
// Counts every operator new of the test program while counting is on.

namespace plottest {

class AllocationCounter {
 public:
  AllocationCounter();   // starts counting from 0
  ~AllocationCounter();  // stops counting
  long Count() const;
};

}  // namespace plottest
