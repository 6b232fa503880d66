// The component's error model: an error code is the identifier of its message in the string
// table (103..135, plus 13 for a block image that is too short). It is thrown where a failure
// is detected and turned into an HRESULT once, by the guard around every interface method.
#pragma once

#include <cpservices/oleauto.h>

#include <cstdint>

namespace cps {

// The thrown type: a plain error code, nothing more.
struct ErrorCode {
  int32_t code;
};

// A device operation that returned a failing HRESULT; the transfer flows hand it on unchanged.
struct DeviceFailure {
  HRESULT hr;
};

namespace err {
inline constexpr int32_t kShortImage = 13;
inline constexpr int32_t kChecksum = 103;
inline constexpr int32_t kFieldNotFound = 104;
inline constexpr int32_t kBadIndex = 105;
inline constexpr int32_t kNoStorage = 106;
inline constexpr int32_t kInvalidData = 107;
inline constexpr int32_t kChoiceNotFound = 108;
inline constexpr int32_t kOutOfBounds = 109;
inline constexpr int32_t kBlockNotSupported = 110;
inline constexpr int32_t kUnexpected = 111;
inline constexpr int32_t kProductFamily = 112;
inline constexpr int32_t kSerialNumber = 114;
inline constexpr int32_t kModelNumber = 115;
inline constexpr int32_t kBelowMinimum = 116;
inline constexpr int32_t kAboveMaximum = 117;
inline constexpr int32_t kFrequency = 120;
inline constexpr int32_t kSameSerial = 121;
inline constexpr int32_t kModelMismatch = 122;
inline constexpr int32_t kSerialMismatch = 123;
inline constexpr int32_t kFileOpen = 124;
inline constexpr int32_t kFileRead = 125;
inline constexpr int32_t kFileException = 126;
inline constexpr int32_t kOptionBoardFile = 127;
inline constexpr int32_t kCpsHeader = 128;
inline constexpr int32_t kBatteryLow = 129;
inline constexpr int32_t kUnpackFailure = 130;
inline constexpr int32_t kRadioType = 131;
inline constexpr int32_t kCodeplugVersion = 132;
inline constexpr int32_t kVersionNotSupported = 133;
inline constexpr int32_t kCodeplugSize = 134;
inline constexpr int32_t kRroData = 135;
}  // namespace err

[[noreturn]] void raise(int32_t code);

// 0x80040000 | (0x900 + low eight bits of the code).
constexpr HRESULT hresult_of(int32_t code) {
  return static_cast<HRESULT>(0x80040000u | (0x900u + (static_cast<uint32_t>(code) & 0xFFu)));
}

// The string-table text with this identifier (100, 102, 103..135), or nullptr.
const char* message_text(int32_t id);

// One row of the error table, for hosts that list them.
struct ErrorRow {
  int32_t code;
  const char* message;
};
// The error codes that carry a message, in ascending order.
const ErrorRow* error_rows(int* count);

}  // namespace cps
