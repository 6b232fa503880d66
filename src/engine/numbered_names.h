// Names for fields that are numbered rather than described: the option switches of blocks 16
// and 2867, whose meanings are the radio's own, are option_switch_1, option_switch_2, ... in ID
// order. Made at compile time, so a block's row table can point at them like any other name.
#pragma once

#include <cstddef>

namespace cps {

template <size_t Count>
class NumberedNames {
 public:
  constexpr explicit NumberedNames(const char* prefix) {
    for (size_t k = 0; k < Count; ++k) {
      char* out = text_[k];
      for (const char* p = prefix; *p != '\0'; ++p) *out++ = *p;
      char digits[20] = {};
      size_t n = 0;
      for (size_t number = k + 1; number != 0; number /= 10) digits[n++] = static_cast<char>('0' + number % 10);
      while (n != 0) *out++ = digits[--n];
    }
  }
  // The name of the (k + 1)th: [0] is "option_switch_1".
  constexpr const char* operator[](size_t k) const { return text_[k]; }
  static constexpr size_t size() { return Count; }

 private:
  char text_[Count][32] = {};
};

// Enough for the 53 switches of block 16.
inline constexpr NumberedNames<53> kOptionSwitchNames{"option_switch_"};

}  // namespace cps
