#pragma once
#include <cstdint>

namespace tavimo {

// Lets long work report how far it got and be cancelled. The work calls
// Step() now and then; a false answer stops it at once.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual bool Step(std::uint64_t done, std::uint64_t total) = 0;
};

}  // namespace tavimo
