// A simulated radio: radio memory addressed by 16-bit address, the answers to the control
// commands, a low-battery state and a reset counter, behind the same device-services interface
// the host's library offers. It can be saved to and loaded from a radio file, and made to fail a
// chosen call with a chosen HRESULT, including a write that stores only part of its bytes.
#pragma once

#include <cpservices/cpservices.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cps::sim {

// The radio's answers to the identity and version commands.
struct Identity {
  std::string uuid;              // QUERYRADIOUUID
  std::string codeplug_version;  // QUERYRADIOCODEPLUGVERSION, four digits such as "0720"
  std::string software_version;  // QUERYRADIOSOFTWAREVERSION
  std::string serial_number;     // QUERYRADIOSERIALNUMBER
  std::string model_number;      // QUERYRADIOMODELNUMBER
  bool low_battery = false;      // QUERYRADIOLOWBATTERY
  uint32_t max_transfer = 0;     // QUERYMAXIMUMTRANSFERSIZE (second generation)

  bool operator==(const Identity&) const = default;
};

enum class Call : uint8_t { Read, Write, IoControl };

// One failure to inject: the nth call (counted from 1) of a kind, or of one control command,
// answers `hr`. A failing write may first store `stored_bytes` of its data.
struct Failure {
  Call call = Call::Read;
  std::string command;  // IoControl only: the command word; empty means any command
  int nth = 1;
  HRESULT hr = static_cast<HRESULT>(0x80004005);
  size_t stored_bytes = 0;  // Write only
};

// One call as the radio saw it, for tests and for the host's log.
struct CallRecord {
  Call call;
  std::string command;  // IoControl
  uint16_t address = 0;
  uint16_t length = 0;
  HRESULT result = 0;
  size_t stored = 0;  // Write: the bytes that reached memory (all of them, or a failure's part)
};

class SimulatedRadio final : public IORBEXServicesDLL {
 public:
  static constexpr size_t kMemorySize = 0x10000;

  SimulatedRadio();

  // The device-services calls. The handle and the reserved argument are not looked at. A null
  // buffer gives E_POINTER, a transfer running past 0xFFFF E_INVALIDARG, an unknown command
  // word (compared exactly) E_INVALIDARG. An answering command overwrites the data VARIANT
  // without freeing what it held (the caller has only initialised it and set its type); text
  // answers are new BSTRs the caller frees. QUERYMAXIMUMTRANSFERSIZE answers VT_I4 when the
  // caller asked for VT_I4, else VT_UI4. A failure due on a call (see Failure) is answered
  // before anything else is looked at.
  HRESULT ReadDeviceVirtualAddress(ULONG ulHandle, USHORT usLength, USHORT usAddress,
                                   BYTE* pbBuffer, ULONG ulReserved) override;
  HRESULT WriteDeviceVirtualAddress(ULONG ulHandle, USHORT usLength, USHORT usAddress,
                                    BYTE* pbData) override;
  HRESULT IoControl(ULONG ulHandle, BSTR bstrCommand, VARIANT* pvarData) override;

  // What the host passes as the device-services "IUnknown*".
  IUnknown* as_unknown() {
    return reinterpret_cast<IUnknown*>(static_cast<IORBEXServicesDLL*>(this));
  }

  int generation = 1;
  Identity identity;
  std::vector<uint8_t> memory;  // 65536 bytes
  int reset_count = 0;
  // Each fires once and is then removed. "The nth call" counts the calls in `calls` of its kind
  // (and command), this one included, so clearing `calls` starts the count again.
  std::vector<Failure> failures;
  std::vector<CallRecord> calls;  // every call, in order

  // Bytes [address, address + length) of memory (clamped to the memory's end).
  std::vector<uint8_t> read(uint16_t address, size_t length) const;
  // Stores bytes directly (no call recorded); std::out_of_range when they run past 0xFFFF.
  void write(uint16_t address, const std::vector<uint8_t>& bytes);
  size_t writes() const;  // how many write calls stored anything

  // The radio file: JSON with the generation, the identity, the reset counter and the memory.
  // load() throws std::runtime_error for a file that cannot be read or is not a radio file.
  // Memory is kept as runs of non-zero bytes (short zero gaps inside a run, long runs split) as
  // hex text. Identity texts are Windows-1252 in memory and UTF-8 in the file. save() writes a
  // temporary file beside `path` and renames it over `path`, so a failed save (thrown as
  // std::runtime_error) never leaves a half-written file. file_text() is what save() writes, for
  // a host that puts the file in place its own way.
  void save(const std::string& path) const;
  std::string file_text() const;
  static SimulatedRadio load(const std::string& path);

 private:
  // The failure due on the call just recorded in `calls`, taken out of `failures`.
  std::optional<Failure> due_failure();
  HRESULT answer(const std::string& command, VARIANT* data);
};

// A factory first-generation radio: a complete, valid codeplug built from the blocks the
// component has, with its identity blocks at 0x282 and 0x2D8 and the image at 0x300.
// The factory's model of market class 1, listed as such in the model file cpsctl ships.
inline constexpr const char* kMarketClass1Model = "M1CLASS101";

struct FactoryOptions {
  std::string serial = "100TAA0001";
  std::string model = "M1PORT00001";  // 16 characters at most
  std::string version = "0720";       // codeplug version, four digits
  bool mobile = false;
  std::string band = "VHF";  // "VHF" (136-174 MHz) or "UHF" (403-470 MHz)
  // 0, 1 or 2 (2: a radio for the "Japan" region). A component sees class 1 or 2 only for a
  // model that its configuration lists as a market-class-1 model (kMarketClass1Model in the
  // model file cpsctl ships). Radios of classes 1 and 2 hold blocks 759-762.
  int market_class = 0;
  // The channels of the factory channel list, 1 to 255; block 2 field 81 allows as many.
  int channels = 32;
  // The largest codeplug the radio holds: every list at its maximum, the personalities as many
  // as still fit the image (channels must then be 255).
  bool full = false;
};
// The factory codeplug's channel list: `channels` channels (32 unless asked otherwise), simplex,
// 12.5 kHz spacing, every squelch type, aliases "CH 01"...
inline constexpr int kFactoryChannels = 32;
inline constexpr int kMaxFactoryChannels = 255;  // field 81's maximum
// From codeplug version 03 on a factory radio allows LS trunking (block 2 field 61 = 1) with this
// many systems (field 743), and its codeplug holds the default personality and trunking system.
inline constexpr int kFactoryTrunkingSystems = 16;
// The identity answers: the family-1 radio type, the options' version, serial number and model
// number; the model answer is padded with blanks to 16 characters as field 84 holds it, so that
// a codeplug read from the radio passes the write flow's model comparison. Options the blocks
// cannot hold (a serial of more than 10 or a model of more than 16 characters, a version that
// is not four digits up to 0799, another band or market class, a channel count outside 1..255)
// throw std::invalid_argument.
SimulatedRadio make_gen1_radio(const FactoryOptions& options = {});

// A factory second-generation radio: the R9 identity answers and a complete codeplug image at
// address 643, built from the component's own R9 blocks, holding every data block that has a
// handler (block 2867 only under codeplug major version 04, the only version whose write
// carries it back) and no block without one.
// The factory's models, listed in the "gen2" rows of the model file cpsctl ships: a portable
// (family 0, radio type 1, whose writes ask for the battery) and a mobile (family 1).
inline constexpr const char* kGen2PortableModel = "M2PORT00001";
inline constexpr const char* kGen2MobileModel = "M2MOBILE0001";

struct Gen2FactoryOptions {
  std::string serial = "200TAA0001";         // 1 to 10 characters, field 2049's 10 bytes
  std::string model = kGen2PortableModel;    // 1 to 16 characters (field 2050)
  std::string version = "04.10";             // "NN.NN", 01.00 to 04.99
  int channels = 16;                         // block 2018 holds 1 to 100
};
inline constexpr int kGen2FactoryChannels = 16;
inline constexpr int kGen2MaxChannels = 100;
inline constexpr int kGen2FactoryProfiles = 3;
// Options the blocks cannot hold (a serial of more than 10 or a model of more than 16
// characters, or either empty; a version that is not "NN.NN" up to 04.99; a channel count
// outside 1..100) throw std::invalid_argument. The model answer is padded with blanks to 16
// characters, as field 2050 holds it.
SimulatedRadio make_gen2_radio(const Gen2FactoryOptions& options = {});

}  // namespace cps::sim
