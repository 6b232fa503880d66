// What every generation's block registry is made of: the interface methods a block ID answers,
// what a handler is given from the radio before a whole record is set, and how a handler is
// made. Each generation declares one row per block handler with every fact about it; the
// service object, the codeplug container and the tools read the rows instead of keeping lists
// of their own.
#pragma once

#include "engine/block_handler.h"

#include <cstdint>
#include <memory>

namespace cps {

// The block methods of ICPServices, as bits of a method set.
namespace method {
inline constexpr uint16_t G = 1 << 0;   // GetBlockData
inline constexpr uint16_t S = 1 << 1;   // SetBlockData
inline constexpr uint16_t F = 1 << 2;   // GetFieldAt
inline constexpr uint16_t f = 1 << 3;   // SetFieldAt
inline constexpr uint16_t Q = 1 << 4;   // GetCurrentListQuantity
inline constexpr uint16_t A = 1 << 5;   // AddList
inline constexpr uint16_t D = 1 << 6;   // DeleteList
inline constexpr uint16_t M = 1 << 7;   // MoveList
inline constexpr uint16_t m = 1 << 8;   // GetCurrentListMemberQuantity
inline constexpr uint16_t a = 1 << 9;   // AddListMember
inline constexpr uint16_t d = 1 << 10;  // DeleteListMember
inline constexpr uint16_t g = 1 << 11;  // GetSubFieldAt
inline constexpr uint16_t s = 1 << 12;  // SetSubFieldAt
inline constexpr uint16_t v = 1 << 13;  // MoveListMember

inline constexpr uint16_t kRecord = G | S | F | f;
inline constexpr uint16_t kList = kRecord | Q | A | D | M;
inline constexpr uint16_t kAll = kList | m | a | d | g | s | v;
inline constexpr uint16_t kMembers = G | S | Q | A | D | m | g | s | v;
}  // namespace method

// What a handler's base is given from the radio before SetBlockData: the mobile flag, the
// codeplug's version text, both, or neither.
enum class Prep : uint8_t { None, Mobile, Version, MobileAndVersion };

constexpr bool gets_mobile(Prep prep) { return prep == Prep::Mobile || prep == Prep::MobileAndVersion; }
constexpr bool gets_version(Prep prep) { return prep == Prep::Version || prep == Prep::MobileAndVersion; }

using MakeHandler = std::unique_ptr<BlockHandler> (*)();

template <class Handler>
std::unique_ptr<BlockHandler> make_handler() {
  return std::make_unique<Handler>();
}

}  // namespace cps
