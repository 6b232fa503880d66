// Sizes that would overflow; everything else is compared with oleaut32 under Wine.
#include <cpservices/oleauto.h>

#include <gtest/gtest.h>

#include <climits>
#include <iterator>
#include <vector>

namespace {

TEST(Bstr, OverflowingLengthsAreRefused) {
  for (UINT length : {UINT_MAX, 0x40000001u}) EXPECT_EQ(SysAllocStringLen(L"x", length), nullptr);
  for (UINT size : {UINT_MAX, UINT_MAX - 4}) EXPECT_EQ(SysAllocStringByteLen(nullptr, size), nullptr);
}

TEST(SafeArrayCreate, RefusesTypesShapesAndSizesItCannotHold) {
  std::vector<SAFEARRAYBOUND> ones(0x10000, SAFEARRAYBOUND{1, 0});
  SAFEARRAYBOUND four_gib[2] = {{0x10000, 0}, {0x10000, 0}};
  SAFEARRAYBOUND wrapping[3] = {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
  SAFEARRAY* const refused[] = {
      SafeArrayCreate(VT_I4, 0, ones.data()),       SafeArrayCreate(VT_I4, 0x10000, ones.data()),
      SafeArrayCreate(VT_UI1, 2, four_gib),         SafeArrayCreate(VT_UI1, 3, wrapping),
      SafeArrayCreateVector(VT_I4, 0, 0x40000000), SafeArrayCreateVector(VT_VARIANT, 0, 0xFFFFFFFF),
      SafeArrayCreate(VT_EMPTY, 1, ones.data()),   SafeArrayCreateVector(VT_NULL, 0, 1),
      SafeArrayCreate(15, 1, ones.data()),         SafeArrayCreateVector(36 /* VT_RECORD */, 0, 1),
      SafeArrayCreate(VT_I4 | VT_ARRAY, 1, ones.data())};
  for (size_t i = 0; i < std::size(refused); ++i) EXPECT_EQ(refused[i], nullptr) << i;
}

}  // namespace
