// The progress dialog cpsctl hands the component for a transfer: a bar on standard error,
// redrawn in place, shown only when standard error is a terminal.
#pragma once

#include <cpservices/cpservices.h>

#include <cstdio>
#include <string>

namespace cpsctl {

class ProgressBar final : public ICPDProgressDlg {
 public:
  // Draws on `out` when `shown`; by default when standard error is a terminal.
  explicit ProgressBar(std::string label);
  ProgressBar(std::string label, std::FILE* out, bool shown);
  ~ProgressBar();  // ends the bar's line
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void SetRange(int nLower, int nUpper) override;
  void SetStep(int nStep) override;
  void StepIt() override;

  // Shows the bar full: the transfer ended well, whether or not it stepped to the end.
  void complete();

  IUnknown* as_unknown() { return reinterpret_cast<IUnknown*>(static_cast<ICPDProgressDlg*>(this)); }

  // "reading   [############            ]  50%": the position within the range, clamped.
  static std::string render(const std::string& label, int lower, int upper, int position);

 private:
  void draw();

  std::string label_;
  std::FILE* out_;
  bool shown_;
  bool drawn_ = false;
  int lower_ = 0, upper_ = 100, step_ = 10, position_ = 0;
};

}  // namespace cpsctl
