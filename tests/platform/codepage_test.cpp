// Windows-1252 conversion: every byte and its one wide character, the 0x80-0x9F block against
// the code page's published table, round trips, and '?' for every wide character without a byte.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace cps {
namespace {

// Bytes 0x80-0x9F and their characters, as the code page defines them; the five bytes it leaves
// undefined convert to the C1 control of the same value.
const std::map<unsigned char, wchar_t> kHighBytes = {
    {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E},
    {0x85, 0x2026}, {0x86, 0x2020}, {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030},
    {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152}, {0x8D, 0x008D}, {0x8E, 0x017D},
    {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C},
    {0x94, 0x201D}, {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC},
    {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A}, {0x9C, 0x0153}, {0x9D, 0x009D},
    {0x9E, 0x017E}, {0x9F, 0x0178},
};

wchar_t expected_wide(unsigned char byte) {
  const auto high = kHighBytes.find(byte);
  return high != kHighBytes.end() ? high->second : static_cast<wchar_t>(byte);
}

std::string all_bytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

struct BstrDeleter {
  void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrDeleter>;

TEST(Codepage, EveryByteHasItsWideCharacter) {
  const std::wstring wide = wide_from_narrow(all_bytes());
  ASSERT_EQ(wide.size(), 256u);
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(wide[b], expected_wide(static_cast<unsigned char>(b))) << std::hex << b;

  Bstr bstr(bstr_from_narrow(all_bytes()));
  ASSERT_NE(bstr, nullptr);
  EXPECT_EQ(std::wstring(bstr.get(), SysStringLen(bstr.get())), wide);
  EXPECT_EQ(bstr.get()[256], L'\0');
}

TEST(Codepage, EveryByteSurvivesARoundTrip) {
  const std::string bytes = all_bytes();
  EXPECT_EQ(narrow_from_wide(wide_from_narrow(bytes).data(), 256), bytes);
  Bstr bstr(bstr_from_narrow(bytes));
  EXPECT_EQ(narrow_from_bstr(bstr.get()), bytes);
}

TEST(Codepage, TypographicBlockBothWays) {
  struct Row {
    char narrow;
    std::wstring wide;
  };
  const Row rows[] = {
      {'\x80', L"\u20AC"}, {'\x9F', L"\u0178"}, {'\x8A', L"\u0160"},
      {'\x99', L"\u2122"}, {'\x81', L"\u0081"}, {'\x9D', L"\u009D"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(row.narrow)));
    EXPECT_EQ(wide_from_narrow(std::string(1, row.narrow)), row.wide);
    EXPECT_EQ(narrow_from_wide(row.wide.data(), row.wide.size()), std::string(1, row.narrow));
  }
  const std::wstring mixed = L"A\u20ACB\u2019s";
  EXPECT_EQ(narrow_from_wide(mixed.data(), mixed.size()), "A\x80" "B\x92s");
}

// Every wide character, BMP or not, converts to its byte when it has one and to '?' otherwise:
// U+0080 and the other C1 controls whose bytes the code page gives to typographic characters
// included.
TEST(Codepage, EveryOtherWideCharacterBecomesQuestionMark) {
  std::map<wchar_t, char> byte_of;
  for (int b = 0; b < 256; ++b)
    byte_of[expected_wide(static_cast<unsigned char>(b))] = static_cast<char>(b);

  std::wstring every;
  for (wchar_t w = 0; w <= 0x10FFFF; ++w) every.push_back(w);
  every.push_back(static_cast<wchar_t>(0x7FFFFFFF));
  const std::string narrow = narrow_from_wide(every.data(), every.size());
  ASSERT_EQ(narrow.size(), every.size());
  size_t mapped = 0;
  for (size_t i = 0; i < every.size(); ++i) {
    const auto known = byte_of.find(every[i]);
    const char expected = known != byte_of.end() ? known->second : '?';
    if (known != byte_of.end()) ++mapped;
    ASSERT_EQ(narrow[i], expected) << std::hex << static_cast<unsigned long>(every[i]);
  }
  EXPECT_EQ(mapped, 256u);
  EXPECT_EQ(narrow_from_wide(L"\u0080\u0100\uFFFD", 3), "???");
}

TEST(Codepage, EmptyNullAndEmbeddedZeros) {
  EXPECT_EQ(narrow_from_wide(nullptr, 0), "");
  EXPECT_EQ(narrow_from_bstr(nullptr), "");
  EXPECT_EQ(wide_from_narrow(""), L"");

  Bstr empty(bstr_from_narrow(""));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);

  const std::string with_zero("a\0b", 3);
  Bstr bstr(bstr_from_narrow(with_zero));
  ASSERT_NE(bstr, nullptr);
  EXPECT_EQ(SysStringLen(bstr.get()), 3u);
  EXPECT_EQ(narrow_from_bstr(bstr.get()), with_zero);
  EXPECT_EQ(wide_from_narrow(with_zero), std::wstring(L"a\0b", 3));
}

}  // namespace
}  // namespace cps
