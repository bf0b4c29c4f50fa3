// A progress line on standard error for a job of known size: a bar, the
// share done, bytes, throughput and the time left.
#ifndef ZORVSEG_TOOLS_COMMON_PROGRESSBAR_H_
#define ZORVSEG_TOOLS_COMMON_PROGRESSBAR_H_

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zorvseg_tools {

class ProgressBar {
 public:
  ProgressBar(uint64_t total_bytes, FILE* terminal);
  // Redraws, at most a few times a second.
  void Update(uint64_t done_bytes);
  // Draws the final state and ends the line.
  void Finish(uint64_t done_bytes);

  // The progress line itself, without the carriage return (for tests).
  static std::string Line(uint64_t done, uint64_t total, double seconds, bool finished);

 private:
  using Clock = std::chrono::steady_clock;
  double Elapsed() const;
  void Draw(uint64_t done_bytes, bool finished);

  uint64_t total_;
  FILE* terminal_;
  Clock::time_point start_;
  Clock::time_point last_draw_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_PROGRESSBAR_H_
