#include "sim/simulated_radio.h"

#include "platform/codepage.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace cps::sim {

namespace {

// Whether [address, address + length) lies inside a memory of memory_size bytes.
bool in_memory(size_t address, size_t length, size_t memory_size) {
  return address <= memory_size && length <= memory_size - address;
}

// ---- Control commands -----------------------------------------------------------------------

enum class Command : uint8_t { Uuid, Version, Software, Serial, Model, LowBattery, Reset, MaxTransfer };

struct CommandRow {
  std::string_view word;
  Command command;
};

constexpr CommandRow kCommands[] = {
    {"QUERYRADIOUUID", Command::Uuid},
    {"QUERYRADIOCODEPLUGVERSION", Command::Version},
    {"QUERYRADIOSOFTWAREVERSION", Command::Software},
    {"QUERYRADIOSERIALNUMBER", Command::Serial},
    {"QUERYRADIOMODELNUMBER", Command::Model},
    {"QUERYRADIOLOWBATTERY", Command::LowBattery},
    {"RESETRADIO", Command::Reset},
    {"QUERYMAXIMUMTRANSFERSIZE", Command::MaxTransfer},
};

const CommandRow* find_command(std::string_view word) {
  for (const CommandRow& row : kCommands)
    if (row.word == word) return &row;
  return nullptr;
}

HRESULT answer_text(const std::string& text, VARIANT* data) {
  BSTR answer = bstr_from_narrow(text);
  if (!answer) return E_OUTOFMEMORY;
  data->vt = VT_BSTR;
  data->bstrVal = answer;
  return S_OK;
}

// ---- Radio file: text ---------------------------------------------------------------------

// Windows-1252 text to UTF-8 for the file, and back (a character the code page lacks: '?').
std::string utf8_from_narrow(const std::string& text) {
  std::string out;
  for (wchar_t wide : wide_from_narrow(text)) {
    const auto c = static_cast<uint32_t>(wide);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The parser has already refused malformed UTF-8.
std::string narrow_from_utf8(const std::string& text) {
  std::wstring wide;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t c = n == 1 ? lead : lead & (0x7Fu >> n);
    for (size_t k = 1; k < n && i + k < text.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    wide += c <= 0xFFFF ? static_cast<wchar_t>(c) : L'?';
    i += n;
  }
  return narrow_from_wide(wide.data(), wide.size());
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// What is wrong with one memory run of a radio file, if anything.
enum class RunFault { None, OddDigits, PastEnd, NotHex };

// Puts the bytes that `hex` spells into `memory` from `address` on. A fault found part-way leaves
// the bytes before it written; the file is refused then.
RunFault put_run(std::string_view hex, size_t address, std::vector<uint8_t>& memory) {
  if (hex.size() % 2 != 0) return RunFault::OddDigits;
  if (!in_memory(address, hex.size() / 2, memory.size())) return RunFault::PastEnd;
  for (size_t k = 0; k < hex.size(); k += 2) {
    const int high = hex_value(hex[k]), low = hex_value(hex[k + 1]);
    if (high < 0 || low < 0) return RunFault::NotHex;
    memory[address + k / 2] = static_cast<uint8_t>(high * 16 + low);
  }
  return RunFault::None;
}

// ---- Radio file: memory runs --------------------------------------------------------------

// Zero gaps shorter than this stay inside a run; a run holds at most kRunLength bytes, so that
// the file reads (and compares) line by line.
constexpr size_t kZeroGap = 8;
constexpr size_t kRunLength = 32;

// The memory's runs as the file's "memory" array, indented as nlohmann::json's dump(2) would
// (the quick reader expects that layout): one object per run of non-zero bytes, split where
// eight zero bytes follow each other or a run reaches 32 bytes.
void put_memory_runs(std::string& out, const std::vector<uint8_t>& memory) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  bool first = true;
  size_t at = 0;
  while (at < memory.size()) {
    if (memory[at] == 0) {
      // Most of a codeplug's memory is zero: skipped eight bytes at a time.
      uint64_t word = 0;
      while (at + sizeof word <= memory.size() && (std::memcpy(&word, &memory[at], sizeof word), word == 0))
        at += sizeof word;
      while (at < memory.size() && memory[at] == 0) ++at;
      continue;
    }
    size_t end = at + 1, zeros = 0;
    while (end < memory.size() && end - at < kRunLength && zeros < kZeroGap) {
      zeros = memory[end] == 0 ? zeros + 1 : 0;
      ++end;
    }
    while (memory[end - 1] == 0) --end;  // a run ends on a non-zero byte
    out += first ? "[\n    {\n      \"address\": " : ",\n    {\n      \"address\": ";
    first = false;
    out += std::to_string(at);
    out += ",\n      \"hex\": \"";
    const size_t hex_at = out.size();
    out.resize(hex_at + 2 * (end - at));
    char* hex = &out[hex_at];
    for (size_t i = at; i < end; ++i) {
      *hex++ = kDigits[memory[i] >> 4];
      *hex++ = kDigits[memory[i] & 0x0F];
    }
    out += "\"\n    }";
    at = end;
  }
  out += first ? "[]" : "\n  ]";
}

// ---- Radio file: reading ------------------------------------------------------------------

class FileReader {
 public:
  explicit FileReader(std::string path) : path_(std::move(path)) {}

  [[noreturn]] void fail(const std::string& reason) const {
    throw std::runtime_error("radio file '" + path_ + "': " + reason);
  }

  const nlohmann::json& member(const nlohmann::json& object, const char* key,
                               const std::string& where) const {
    const auto found = object.find(key);
    if (found == object.end()) fail("'" + where + key + "' is missing");
    return *found;
  }

  // Every key of the object must be one of `known`.
  void only_keys(const nlohmann::json& object, std::initializer_list<std::string_view> known,
                 const std::string& where) const {
    for (const auto& item : object.items())
      if (std::find(known.begin(), known.end(), item.key()) == known.end())
        fail("unknown key '" + where + item.key() + "'");
  }

  const nlohmann::json& object(const nlohmann::json& value, const std::string& name) const {
    if (!value.is_object()) fail("'" + name + "' must be an object");
    return value;
  }

  std::string text(const nlohmann::json& value, const std::string& name) const {
    if (!value.is_string()) fail("'" + name + "' must be a string");
    return value.get<std::string>();
  }

  uint64_t number(const nlohmann::json& value, const std::string& name, uint64_t maximum) const {
    if (!value.is_number_unsigned() || value.get<uint64_t>() > maximum)
      fail("'" + name + "' must be a whole number from 0 to " + std::to_string(maximum));
    return value.get<uint64_t>();
  }

  bool flag(const nlohmann::json& value, const std::string& name) const {
    if (!value.is_boolean()) fail("'" + name + "' must be true or false");
    return value.get<bool>();
  }

  void identity(const nlohmann::json& value, Identity& out) const {
    object(value, "identity");
    only_keys(value,
              {"uuid", "codeplug_version", "software_version", "serial_number", "model_number",
               "low_battery", "max_transfer"},
              "identity.");
    auto texts = {std::pair{"uuid", &out.uuid},
                  std::pair{"codeplug_version", &out.codeplug_version},
                  std::pair{"software_version", &out.software_version},
                  std::pair{"serial_number", &out.serial_number},
                  std::pair{"model_number", &out.model_number}};
    for (auto [key, field] : texts)
      if (value.contains(key))
        *field = narrow_from_utf8(text(value[key], std::string("identity.") + key));
    if (value.contains("low_battery"))
      out.low_battery = flag(value["low_battery"], "identity.low_battery");
    if (value.contains("max_transfer"))
      out.max_transfer = static_cast<uint32_t>(number(
          value["max_transfer"], "identity.max_transfer", std::numeric_limits<uint32_t>::max()));
  }

  void memory(const nlohmann::json& runs, std::vector<uint8_t>& out) const {
    if (!runs.is_array()) fail("'memory' must be an array");
    for (size_t i = 0; i < runs.size(); ++i) {
      const std::string where = "memory[" + std::to_string(i) + "]";
      const nlohmann::json& run = object(runs[i], where);
      only_keys(run, {"address", "hex"}, where + ".");
      const size_t address =
          number(member(run, "address", where + "."), where + ".address", 0xFFFF);
      const std::string hex = text(member(run, "hex", where + "."), where + ".hex");
      switch (put_run(hex, address, out)) {
        case RunFault::None: break;
        case RunFault::OddDigits: fail("'" + where + ".hex' has an odd number of digits");
        case RunFault::PastEnd: fail("'" + where + "' runs past address 0xFFFF");
        case RunFault::NotHex: fail("'" + where + ".hex' holds a character that is not a hex digit");
      }
    }
  }

 private:
  std::string path_;
};

// The file as save() writes it, read without building a JSON tree: its memory runs are most of
// a radio file, and a tree of them cost more than the rest of a short command. Every key in
// save()'s order, plain ASCII texts, whole numbers. Anything else, valid or not, is not read
// here (false, `out` unspecified) but by FileReader, which names what is wrong.
class QuickReader {
 public:
  explicit QuickReader(std::string_view text) : s_(text) {}

  bool read(SimulatedRadio& out) {
    uint64_t generation = 0, max_transfer = 0, resets = 0;
    Identity& id = out.identity;
    if (!(literal("{") && key("generation") && number(generation, 2) && generation != 0 && literal(",") &&
          key("identity") && literal("{") && key("uuid") && text(id.uuid) && literal(",") &&
          key("codeplug_version") && text(id.codeplug_version) && literal(",") && key("software_version") &&
          text(id.software_version) && literal(",") && key("serial_number") && text(id.serial_number) &&
          literal(",") && key("model_number") && text(id.model_number) && literal(",") && key("low_battery") &&
          flag(id.low_battery) && literal(",") && key("max_transfer") &&
          number(max_transfer, std::numeric_limits<uint32_t>::max()) && literal("}") && literal(",") &&
          key("reset_count") && number(resets, static_cast<uint64_t>(std::numeric_limits<int>::max())) &&
          literal(",") && key("memory") && literal("[")))
      return false;
    out.generation = static_cast<int>(generation);
    id.max_transfer = static_cast<uint32_t>(max_transfer);
    out.reset_count = static_cast<int>(resets);
    if (!literal("]")) {
      do {
        uint64_t address = 0;
        std::string_view hex;
        if (!(literal("{") && key("address") && number(address, 0xFFFF) && literal(",") && key("hex") &&
              plain(hex) && literal("}")))
          return false;
        if (put_run(hex, address, out.memory) != RunFault::None) return false;
      } while (literal(","));
      if (!literal("]")) return false;
    }
    if (!literal("}")) return false;
    space();
    return p_ == s_.size();
  }

 private:
  void space() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\n' || s_[p_] == '\r' || s_[p_] == '\t')) ++p_;
  }
  bool literal(std::string_view word) {
    space();
    if (s_.substr(p_, word.size()) != word) return false;
    p_ += word.size();
    return true;
  }
  // A string of printable ASCII characters without escapes.
  bool plain(std::string_view& out) {
    space();
    if (p_ >= s_.size() || s_[p_] != '"') return false;
    const size_t end = s_.find('"', p_ + 1);
    if (end == std::string_view::npos) return false;
    out = s_.substr(p_ + 1, end - p_ - 1);
    if (!std::all_of(out.begin(), out.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; }))
      return false;
    p_ = end + 1;
    return true;
  }
  bool key(std::string_view name) {
    std::string_view found;
    return plain(found) && found == name && literal(":");
  }
  bool text(std::string& out) {
    std::string_view found;
    if (!plain(found)) return false;
    out = found;
    return true;
  }
  bool flag(bool& out) {
    if (literal("true")) return out = true, true;
    if (literal("false")) return out = false, true;
    return false;
  }
  // Digits only, without a leading zero, up to `maximum`; a fraction or exponent is not taken.
  bool number(uint64_t& out, uint64_t maximum) {
    space();
    const char* first = s_.data() + p_;
    const char* last = s_.data() + s_.size();
    const auto [end, ec] = std::from_chars(first, last, out);
    if (ec != std::errc{} || out > maximum || (*first == '0' && end - first > 1)) return false;
    if (end != last && (*end == '.' || *end == 'e' || *end == 'E')) return false;
    p_ += static_cast<size_t>(end - first);
    return true;
  }

  std::string_view s_;
  size_t p_ = 0;
};

}  // namespace

// ---- The device-services calls --------------------------------------------------------------

SimulatedRadio::SimulatedRadio() : memory(kMemorySize, 0) {}

std::optional<Failure> SimulatedRadio::due_failure() {
  const CallRecord& now = calls.back();
  for (auto failure = failures.begin(); failure != failures.end(); ++failure) {
    if (failure->call != now.call) continue;
    const bool by_command = now.call == Call::IoControl && !failure->command.empty();
    if (by_command && failure->command != now.command) continue;
    const auto seen = std::count_if(calls.begin(), calls.end(), [&](const CallRecord& c) {
      return c.call == now.call && (!by_command || c.command == now.command);
    });
    if (seen != failure->nth) continue;
    Failure due = *failure;
    failures.erase(failure);
    return due;
  }
  return std::nullopt;
}

HRESULT SimulatedRadio::ReadDeviceVirtualAddress(ULONG, USHORT usLength, USHORT usAddress,
                                                 BYTE* pbBuffer, ULONG) {
  calls.push_back({.call = Call::Read, .command = {}, .address = usAddress, .length = usLength});
  CallRecord& call = calls.back();
  if (const auto failure = due_failure()) return call.result = failure->hr;
  if (!pbBuffer) return call.result = E_POINTER;
  if (!in_memory(usAddress, usLength, memory.size())) return call.result = E_INVALIDARG;
  std::copy_n(memory.begin() + usAddress, usLength, pbBuffer);
  return call.result = S_OK;
}

HRESULT SimulatedRadio::WriteDeviceVirtualAddress(ULONG, USHORT usLength, USHORT usAddress,
                                                  BYTE* pbData) {
  calls.push_back({.call = Call::Write, .command = {}, .address = usAddress, .length = usLength});
  CallRecord& call = calls.back();
  if (const auto failure = due_failure()) {
    // Part of the data reaches the radio before the link fails.
    if (pbData && usAddress < memory.size()) {
      call.stored = std::min({failure->stored_bytes, size_t{usLength}, memory.size() - usAddress});
      std::copy_n(pbData, call.stored, memory.begin() + usAddress);
    }
    return call.result = failure->hr;
  }
  if (!pbData) return call.result = E_POINTER;
  if (!in_memory(usAddress, usLength, memory.size())) return call.result = E_INVALIDARG;
  std::copy_n(pbData, usLength, memory.begin() + usAddress);
  call.stored = usLength;
  return call.result = S_OK;
}

HRESULT SimulatedRadio::IoControl(ULONG, BSTR bstrCommand, VARIANT* pvarData) {
  calls.push_back({.call = Call::IoControl, .command = narrow_from_bstr(bstrCommand)});
  CallRecord& call = calls.back();
  if (const auto failure = due_failure()) return call.result = failure->hr;
  return call.result = answer(call.command, pvarData);
}

HRESULT SimulatedRadio::answer(const std::string& word, VARIANT* data) {
  const CommandRow* row = find_command(word);
  if (!row) return E_INVALIDARG;
  if (row->command == Command::Reset) {
    // The counter stops at its largest value: the file must load again, and a load refuses
    // anything above it.
    if (reset_count < std::numeric_limits<int>::max()) ++reset_count;
    return S_OK;
  }
  if (!data) return E_POINTER;
  switch (row->command) {
    case Command::Uuid:
      return answer_text(identity.uuid, data);
    case Command::Version:
      return answer_text(identity.codeplug_version, data);
    case Command::Software:
      return answer_text(identity.software_version, data);
    case Command::Serial:
      return answer_text(identity.serial_number, data);
    case Command::Model:
      return answer_text(identity.model_number, data);
    case Command::LowBattery:
      data->vt = VT_BOOL;
      data->boolVal = identity.low_battery ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case Command::MaxTransfer:
      if (data->vt == VT_I4) {
        data->lVal = static_cast<LONG>(std::min<uint32_t>(identity.max_transfer, 0x7FFFFFFF));
      } else {
        data->vt = VT_UI4;
        data->ulVal = identity.max_transfer;
      }
      return S_OK;
    case Command::Reset:
      break;
  }
  return E_UNEXPECTED;
}

// ---- Direct access --------------------------------------------------------------------------

std::vector<uint8_t> SimulatedRadio::read(uint16_t address, size_t length) const {
  const size_t begin = std::min(size_t{address}, memory.size());
  const size_t end = begin + std::min(length, memory.size() - begin);
  return {memory.begin() + static_cast<std::ptrdiff_t>(begin),
          memory.begin() + static_cast<std::ptrdiff_t>(end)};
}

void SimulatedRadio::write(uint16_t address, const std::vector<uint8_t>& bytes) {
  if (!in_memory(address, bytes.size(), memory.size()))
    throw std::out_of_range("simulated radio: a write of " + std::to_string(bytes.size()) +
                            " bytes at " + std::to_string(address) + " runs past the memory's end");
  std::copy(bytes.begin(), bytes.end(), memory.begin() + address);
}

size_t SimulatedRadio::writes() const {
  return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [](const CallRecord& c) {
    return c.call == Call::Write && c.stored > 0;
  }));
}

// ---- The radio file -------------------------------------------------------------------------

std::string SimulatedRadio::file_text() const {
  // Written as nlohmann::json's dump(2) would write it, without building the tree: the memory
  // runs are most of the file. A text goes through the library for its quoting.
  auto text_value = [](const std::string& narrow) { return nlohmann::json(utf8_from_narrow(narrow)).dump(); };
  std::string text;
  text.reserve(96 * 1024);
  text += "{\n  \"generation\": " + std::to_string(generation) + ",\n  \"identity\": {\n";
  text += "    \"uuid\": " + text_value(identity.uuid) + ",\n";
  text += "    \"codeplug_version\": " + text_value(identity.codeplug_version) + ",\n";
  text += "    \"software_version\": " + text_value(identity.software_version) + ",\n";
  text += "    \"serial_number\": " + text_value(identity.serial_number) + ",\n";
  text += "    \"model_number\": " + text_value(identity.model_number) + ",\n";
  text += std::string("    \"low_battery\": ") + (identity.low_battery ? "true" : "false") + ",\n";
  text += "    \"max_transfer\": " + std::to_string(identity.max_transfer) + "\n  },\n";
  text += "  \"reset_count\": " + std::to_string(std::max(reset_count, 0)) + ",\n";  // what load() takes back
  text += "  \"memory\": ";
  put_memory_runs(text, memory);
  text += "\n}\n";
  return text;
}

void SimulatedRadio::save(const std::string& path) const {
  const std::string text = file_text();
  // A name of our own beside the target: "x" refuses one that exists already.
  std::random_device random;
  std::string temporary;
  std::FILE* out = nullptr;
  for (int attempt = 0; attempt < 16 && !out; ++attempt) {
    temporary = path + ".tmp" + std::to_string(random() % 1000000);
    out = std::fopen(temporary.c_str(), "wbx");
  }
  if (!out)
    throw std::runtime_error("radio file '" + path + "': cannot create a temporary file beside it");
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  const bool closed = std::fclose(out) == 0;
  std::error_code error;
  if (written && closed) std::filesystem::rename(temporary, path, error);
  if (!written || !closed || error) {
    std::filesystem::remove(temporary, error);
    throw std::runtime_error("radio file '" + path + "': cannot write it");
  }
}

SimulatedRadio SimulatedRadio::load(const std::string& path) {
  const FileReader reader(path);
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) reader.fail("it is a directory");
  std::ifstream in(path, std::ios::binary);
  if (!in) reader.fail("cannot open it");
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) reader.fail("cannot read it");

  SimulatedRadio radio;
  const std::string text = content.str();
  if (QuickReader(text).read(radio)) return radio;
  radio = SimulatedRadio();

  nlohmann::json file;
  try {
    file = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    reader.fail(std::string("not valid JSON (") + e.what() + ")");
  }
  if (!file.is_object()) reader.fail("it must hold one JSON object");
  reader.only_keys(file, {"generation", "identity", "reset_count", "memory"}, "");

  const nlohmann::json& generation = reader.member(file, "generation", "");
  if (!generation.is_number_unsigned() || (generation != 1 && generation != 2))
    reader.fail("'generation' must be 1 or 2");
  radio.generation = generation.get<int>();
  reader.identity(reader.member(file, "identity", ""), radio.identity);
  if (file.contains("reset_count"))
    radio.reset_count =
        static_cast<int>(reader.number(file["reset_count"], "reset_count",
                                       static_cast<uint64_t>(std::numeric_limits<int>::max())));
  reader.memory(reader.member(file, "memory", ""), radio.memory);
  return radio;
}

}  // namespace cps::sim
