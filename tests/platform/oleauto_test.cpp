// Sizes that would overflow, and the cache of short BSTR blocks across threads; everything else
// is compared with oleaut32 under Wine.
#include <cpservices/oleauto.h>

#include "platform/bstr_cache.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <set>
#include <string>
#include <thread>
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

#if defined(CPS_OLEAUTO_PORTABLE)

using cps::oleauto::BstrCache;

// Where the cache keeps a BSTR's block.
const void* block_of(BSTR text) { return reinterpret_cast<const char*>(text) - sizeof(uint32_t); }

TEST(BstrCache, AFreedBlockServesTheNextTextOfItsClass) {
  if (!BstrCache::enabled()) GTEST_SKIP() << "the cache is off";
  BSTR first = SysAllocString(L"12345");  // 4 + 6 * 4 bytes: the 32-byte class, as the next ones
  const void* block = block_of(first);
  SysFreeString(first);
  BSTR second = SysAllocStringLen(L"abcdefgh", 6);
  EXPECT_EQ(block, block_of(second));
  EXPECT_EQ(6u, SysStringLen(second));
  EXPECT_STREQ(L"abcdef", second);
  SysFreeString(second);
  // Without data the text is zero, whatever the block held before.
  BSTR third = SysAllocStringLen(nullptr, 5);
  EXPECT_EQ(block, block_of(third));
  for (int k = 0; k <= 5; ++k) EXPECT_EQ(L'\0', third[k]) << k;
  SysFreeString(third);
}

TEST(BstrCache, TextsAliveTogetherNeverShareMemory) {
  // Several slabs of each short class, and longer texts that are blocks of their own.
  std::vector<std::wstring> meant;
  std::vector<BSTR> texts;
  for (size_t n = 0; n < 3 * BstrCache::kSlab; ++n) {
    for (size_t length : {0u, 1u, 7u, 30u, 40u}) {
      meant.emplace_back(length, static_cast<wchar_t>(L'a' + n % 26));
      texts.push_back(SysAllocStringLen(meant.back().data(), static_cast<UINT>(length)));
      ASSERT_NE(nullptr, texts.back());
    }
  }
  for (size_t k = 0; k < texts.size(); ++k) {
    ASSERT_EQ(meant[k].size(), SysStringLen(texts[k])) << k;
    EXPECT_EQ(meant[k], std::wstring(texts[k], SysStringLen(texts[k]))) << k;
    EXPECT_EQ(L'\0', texts[k][meant[k].size()]) << k;
  }
  for (BSTR text : texts) SysFreeString(text);
}

TEST(BstrCache, BlocksOutliveTheThreadThatMadeThem) {
  // A BSTR made in a thread that has ended is whole, and can be freed anywhere.
  BSTR outlives = nullptr;
  std::thread([&] { outlives = SysAllocString(L"outlives"); }).join();
  EXPECT_STREQ(L"outlives", outlives);
  const void* block = block_of(outlives);
  SysFreeString(outlives);
  BSTR again = SysAllocString(L"outlived");
  if (BstrCache::enabled()) EXPECT_EQ(block, block_of(again));
  SysFreeString(again);

  // What a thread kept when it ended serves the next thread.
  if (!BstrCache::enabled()) return;
  std::set<const void*> kept;
  std::thread([&] {
    std::vector<BSTR> texts;
    for (int k = 0; k < 10; ++k) texts.push_back(SysAllocString(L"abc"));
    for (BSTR text : texts) kept.insert(block_of(text)), SysFreeString(text);
  }).join();
  std::thread([&] {
    BSTR text = SysAllocString(L"xyz");
    EXPECT_TRUE(kept.count(block_of(text)));
    SysFreeString(text);
  }).join();
}

// Frees its BSTR, and makes and frees another, when its thread ends.
struct FreedAtThreadEnd {
  BSTR text = nullptr;
  ~FreedAtThreadEnd() {
    SysFreeString(text);
    SysFreeString(SysAllocString(L"late"));
  }
};

TEST(BstrCache, ABstrFreedAfterItsThreadsCacheEndedIsShared) {
  const void* block = nullptr;
  std::thread([&] {
    // Made before the thread first uses the cache, so it ends after the cache has handed over.
    thread_local FreedAtThreadEnd holder;
    holder.text = SysAllocString(L"late");
    block = block_of(holder.text);
  }).join();
  std::thread([&] {
    BSTR text = SysAllocString(L"abcd");
    if (BstrCache::enabled()) EXPECT_EQ(block, block_of(text));
    SysFreeString(text);
  }).join();
}

#endif  // CPS_OLEAUTO_PORTABLE

}  // namespace
