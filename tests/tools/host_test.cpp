// The deferred destination object a write hands the component: made and read only when the
// component asks it something, read once, and standing for the object it makes.
#include "host.h"
#include "sim/simulated_radio.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace cpsctl {
namespace {

constexpr ULONG kHandle = 1;

class DeferredComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("CPSERVICES_MODELS", CPSCTL_MODELS, 1);
    radio_ = cps::sim::make_gen1_radio({});
    source_.emplace(1);
    ASSERT_EQ(S_OK, (*source_)->ReadDevice(radio_.as_unknown(), kHandle, nullptr));
  }

  // A destination read from the radio as it is, counting its reads.
  DeferredComponent destination() {
    return DeferredComponent(1, [this](Component& object) {
      ++reads_;
      cps::sim::SimulatedRadio copy = radio_;
      return object->ReadDevice(copy.as_unknown(), kHandle, nullptr);
    });
  }

  cps::sim::SimulatedRadio radio_;
  std::optional<Component> source_;
  int reads_ = 0;
};

TEST_F(DeferredComponentTest, IsReadOnlyWhenTheWriteAsksIt) {
  // A radio that answers every query: the write never asks the destination, which stays unread.
  {
    DeferredComponent unasked = destination();
    cps::sim::SimulatedRadio target = radio_;
    EXPECT_EQ(S_OK, (*source_)->WriteDevice(target.as_unknown(), kHandle, nullptr, &unasked));
    EXPECT_EQ(0, reads_);
    EXPECT_FALSE(unasked.made());
  }
  // A radio that cannot tell its serial number: the write compares the destination's, read
  // now, and goes on because they match.
  DeferredComponent asked = destination();
  cps::sim::SimulatedRadio target = radio_;
  target.failures.push_back({cps::sim::Call::IoControl, "QUERYRADIOSERIALNUMBER", 1, E_FAIL});
  EXPECT_EQ(S_OK, (*source_)->WriteDevice(target.as_unknown(), kHandle, nullptr, &asked));
  EXPECT_EQ(1, reads_);
  EXPECT_TRUE(asked.made());

  // Later calls go to the same object, read once.
  Variant serial;
  EXPECT_EQ(S_OK, asked.GetFieldAt(3, 83, 0, serial.get()));
  EXPECT_EQ(S_OK, asked.make());
  EXPECT_EQ(1, reads_);

  // Released, it is made and read anew when called again.
  asked.release();
  EXPECT_FALSE(asked.made());
  Variant block;
  EXPECT_EQ(S_OK, asked.GetBlockData(3, block.get()));
  EXPECT_EQ(2, reads_);
}

TEST_F(DeferredComponentTest, KeepsTheResultOfItsLoadAndRetriesAThrowingOne) {
  int calls = 0;
  DeferredComponent failing(1, [&](Component&) {
    ++calls;
    return static_cast<HRESULT>(0x80040982);
  });
  EXPECT_EQ(static_cast<HRESULT>(0x80040982), failing.make());
  Variant block;
  failing.GetBlockData(3, block.get());  // the object answers as a failed read left it
  EXPECT_EQ(static_cast<HRESULT>(0x80040982), failing.make());
  EXPECT_EQ(1, calls);

  // A load that throws leaves nothing made; a call answers the Failure's HRESULT, never throws
  // into the component calling it.
  bool fail = true;
  DeferredComponent throwing(1, [&](Component&) -> HRESULT {
    if (fail) throw Failure{E_OUTOFMEMORY, "out of memory"};
    return S_OK;
  });
  BYTE quantity = 0;
  EXPECT_EQ(E_OUTOFMEMORY, throwing.GetCurrentListQuantity(6, &quantity));
  EXPECT_FALSE(throwing.made());
  fail = false;
  EXPECT_EQ(S_OK, throwing.GetCurrentListQuantity(6, &quantity));
  EXPECT_TRUE(throwing.made());
}

TEST_F(DeferredComponentTest, AnswersForTheObjectItStandsFor) {
  DeferredComponent object = destination();
  void* found = nullptr;
  EXPECT_EQ(S_OK, object.QueryInterface(IID_ICPServices, &found));
  EXPECT_EQ(static_cast<ICPServices*>(&object), found);
  EXPECT_EQ(S_OK, object.QueryInterface(IID_IUnknown, &found));
  EXPECT_EQ(static_cast<ICPServices*>(&object), found);
  EXPECT_EQ(E_NOINTERFACE, object.QueryInterface(IID_IClassFactory, &found));
  EXPECT_EQ(nullptr, found);
  EXPECT_EQ(E_POINTER, object.QueryInterface(IID_IUnknown, nullptr));
  // Releasing every reference handed out never frees what its owner keeps.
  for (int k = 0; k < 4; ++k) object.Release();
  EXPECT_EQ(0, reads_);
  EXPECT_FALSE(object.made());
}

}  // namespace
}  // namespace cpsctl
