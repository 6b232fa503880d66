#include "progress.h"

#include <algorithm>
#include <unistd.h>

namespace cpsctl {

namespace {
constexpr int kWidth = 30;  // characters of the bar between its brackets
}

ProgressBar::ProgressBar(std::string label) : ProgressBar(std::move(label), stderr, isatty(STDERR_FILENO) == 1) {}

ProgressBar::ProgressBar(std::string label, std::FILE* out, bool shown)
    : label_(std::move(label)), out_(out), shown_(shown) {}

ProgressBar::~ProgressBar() {
  if (drawn_) {
    std::fputc('\n', out_);
    std::fflush(out_);
  }
}

// As a progress control does: a new range puts the position at its start; a step moves it on
// by the step, wrapping to the start when it passes the end.
void ProgressBar::SetRange(int nLower, int nUpper) {
  lower_ = nLower;
  upper_ = nUpper;
  position_ = nLower;
  draw();
}

void ProgressBar::SetStep(int nStep) { step_ = nStep; }

void ProgressBar::StepIt() {
  position_ += step_;
  if (position_ > upper_) position_ = lower_ + (position_ - upper_);
  draw();
}

void ProgressBar::complete() {
  if (!drawn_) return;  // a transfer that never set a range has shown nothing
  position_ = upper_;
  draw();
}

std::string ProgressBar::render(const std::string& label, int lower, int upper, int position) {
  const long span = std::max(1L, static_cast<long>(upper) - lower);
  const long done = std::clamp(static_cast<long>(position) - lower, 0L, span);
  const auto filled = static_cast<size_t>(done * kWidth / span);
  const long percent = done * 100 / span;
  std::string line = label;
  line.resize(std::max<size_t>(line.size(), 10), ' ');
  line += "[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] ";
  const std::string number = std::to_string(percent);
  line += std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + "%";
  return line;
}

void ProgressBar::draw() {
  if (!shown_) return;
  std::fputs(("\r" + render(label_, lower_, upper_, position_)).c_str(), out_);
  std::fflush(out_);
  drawn_ = true;
}

}  // namespace cpsctl
