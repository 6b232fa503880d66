#include "platform/errors.h"
#include "interface/guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace cps {
namespace {

TEST(Errors, HresultUsesTheLowEightBitsOfTheCode) {
  struct Case { int32_t code; uint32_t hr; } cases[] = {
      {103, 0x80040967}, {13, 0x8004090D}, {256 + 107, 0x8004096B}, {-1, 0x800409FF}};
  for (const Case& c : cases) EXPECT_EQ(static_cast<uint32_t>(hresult_of(c.code)), c.hr) << c.code;
}

TEST(Errors, MessageTable) {
  int count = 0;
  const ErrorRow* rows = error_rows(&count);
  ASSERT_EQ(count, 30);  // 103..135 without 113, 118 and 119
  EXPECT_EQ(rows[0].code, 103);
  EXPECT_EQ(rows[count - 1].code, 135);
  for (int code : {13, 101, 113, 118, 119, 136}) EXPECT_EQ(message_text(code), nullptr) << code;
  EXPECT_STREQ(message_text(130), " Unpack failure.");
  EXPECT_STREQ(message_text(100), "varnocpservices");
  EXPECT_STREQ(message_text(102), "CPServices Class");
}

TEST(Errors, GuardTurnsEveryFailureIntoAnHresult) {
  EXPECT_EQ(guarded([] { return S_OK; }), S_OK);
  EXPECT_EQ(guarded([]() -> HRESULT { raise(err::kChoiceNotFound); }), hresult_of(108));
  EXPECT_EQ(guarded([]() -> HRESULT { raise(err::kShortImage); }), static_cast<HRESULT>(0x8004090D));
  EXPECT_EQ(guarded([]() -> HRESULT { throw DeviceFailure{static_cast<HRESULT>(0x80070005)}; }),
            static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(guarded([]() -> HRESULT { throw std::bad_alloc(); }), hresult_of(106));
  EXPECT_EQ(guarded([]() -> HRESULT { throw std::runtime_error("x"); }), hresult_of(111));
  EXPECT_EQ(guarded([]() -> HRESULT { return std::string().at(3) == 'x' ? S_OK : S_FALSE; }),
            hresult_of(111));
}

}  // namespace
}  // namespace cps
