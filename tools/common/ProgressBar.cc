#include "common/ProgressBar.h"

namespace zorvseg_tools {

namespace {
const int kBarWidth = 24;
const auto kRedrawInterval = std::chrono::milliseconds(200);
const double kMegabyte = 1e6;

std::string ClockText(double seconds) {
  long total = static_cast<long>(seconds + 0.5);
  char text[32];
  if (total >= 3600) {
    snprintf(text, sizeof(text), "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    snprintf(text, sizeof(text), "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}
}  // namespace

ProgressBar::ProgressBar(uint64_t total_bytes, FILE* terminal)
    : total_(total_bytes), terminal_(terminal), start_(Clock::now()), last_draw_(start_) {}

double ProgressBar::Elapsed() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

void ProgressBar::Update(uint64_t done_bytes) {
  if (Clock::now() - last_draw_ < kRedrawInterval) return;
  Draw(done_bytes, false);
}

void ProgressBar::Finish(uint64_t done_bytes) {
  Draw(done_bytes, true);
  fputc('\n', terminal_);
  fflush(terminal_);
}

void ProgressBar::Draw(uint64_t done_bytes, bool finished) {
  last_draw_ = Clock::now();
  // "\033[K" clears what a longer earlier line left behind.
  fprintf(terminal_, "\r%s\033[K",
          Line(done_bytes, total_, Elapsed(), finished).c_str());
  fflush(terminal_);
}

std::string ProgressBar::Line(uint64_t done, uint64_t total, double seconds, bool finished) {
  if (done > total) done = total;
  double share = total > 0 ? static_cast<double>(done) / total : 1.0;
  int filled = static_cast<int>(share * kBarWidth);
  std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]";
  double rate = seconds > 0 ? done / kMegabyte / seconds : 0;
  std::string time_part;
  if (finished) {
    time_part = ClockText(seconds) + " in all";
  } else if (rate > 0) {
    time_part = ClockText((total - done) / kMegabyte / rate) + " left";
  } else {
    time_part = "-:-- left";
  }
  char text[160];
  snprintf(text, sizeof(text), "%s %3d%%  %.1f/%.1f MB  %.1f MB/s  %s", bar.c_str(),
           static_cast<int>(share * 100), done / kMegabyte, total / kMegabyte, rate,
           time_part.c_str());
  return text;
}

}  // namespace zorvseg_tools
