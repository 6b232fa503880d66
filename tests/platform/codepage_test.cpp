// Windows-1252 both ways: every byte, and '?' for every wide character without one.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace cps {
namespace {

// The characters of bytes 0x80-0x9F as the code page defines them; the five bytes it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) convert to the C1 control of the same value.
constexpr wchar_t kHighBytes[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80-0x87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88-0x8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90-0x97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98-0x9F
};

// Bytes 0-255 and their characters: Latin-1 outside 0x80-0x9F.
const std::string kAllBytes = [] {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}();
const std::wstring kAllCharacters = [] {
  std::wstring wide;
  for (int b = 0; b < 256; ++b) wide.push_back(b >= 0x80 && b < 0xA0 ? kHighBytes[b - 0x80] : b);
  return wide;
}();

TEST(Codepage, EveryByteHasItsOneCharacterAndComesBack) {
  EXPECT_EQ(wide_from_narrow(kAllBytes), kAllCharacters);
  EXPECT_EQ(narrow_from_wide(kAllCharacters.data(), kAllCharacters.size()), kAllBytes);
  BSTR bstr = bstr_from_narrow(kAllBytes);
  ASSERT_NE(bstr, nullptr);
  EXPECT_EQ(std::wstring(bstr, SysStringLen(bstr)), kAllCharacters);
  EXPECT_EQ(narrow_from_bstr(bstr), kAllBytes);
  SysFreeString(bstr);
  EXPECT_EQ(narrow_from_bstr(nullptr), "");
  // Into a string that holds something already: the text replaces it, longer or shorter.
  std::string held = "a text longer than the buffer a short string keeps in itself";
  narrow_into(held, L"CH 1", 4);
  EXPECT_EQ(held, "CH 1");
  narrow_into(held, kAllCharacters.data(), kAllCharacters.size());
  EXPECT_EQ(held, kAllBytes);
  narrow_into(held, nullptr, 3);
  EXPECT_EQ(held, "");
}

// U+0080 and the other C1 controls whose bytes hold typographic characters included.
TEST(Codepage, EveryOtherCharacterBecomesQuestionMark) {
  std::vector<char> expected(std::min<size_t>(0x110000, size_t{WCHAR_MAX} + 1), '?');
  for (int b = 0; b < 256; ++b) expected[kAllCharacters[b]] = static_cast<char>(b);
  std::wstring every;
  for (uint32_t c = 0; c < expected.size(); ++c) every.push_back(static_cast<wchar_t>(c));
  const std::string narrow = narrow_from_wide(every.data(), every.size());
  ASSERT_EQ(narrow.size(), every.size());
  for (size_t c = 0; c < every.size(); ++c)
    ASSERT_EQ(narrow[c], expected[c]) << std::hex << c;
}

TEST(Codepage, FileNamesTakeTheFormTheFileFunctionsWant) {
  const std::wstring name = L"/tmp/r\u00E9glage \u20AC\U0001F4FB.obd";
  BSTR bstr = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
  EXPECT_EQ(file_name_from_bstr(bstr), "/tmp/r\xC3\xA9glage \xE2\x82\xAC\xF0\x9F\x93\xBB.obd");
  SysFreeString(bstr);
  EXPECT_EQ(file_name_from_bstr(nullptr), "");
}

}  // namespace
}  // namespace cps
