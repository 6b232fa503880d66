#include "preflight.h"

#include "codeplug_object.h"
#include "progress.h"

#include <cstdio>

namespace cpsctl {

namespace {

constexpr ULONG kHandle = 1;  // the simulated radio does not look at it

// The characters of bytes 0x80-0x9F in Windows-1252. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same value,
// as the component converts them; every byte from 0xA0 up is the character of its own value.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

bool in_codepage(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return true;
  for (char32_t mapped : kHighControls)
    if (mapped == c) return true;
  return false;
}

}  // namespace

Ignore written_on_purpose(int generation, bool clone) {
  // A second-generation write stamps the programming date and time (block 2003 fields 2054,
  // 2055) and asks the software version (2070); the header (2002) and the address table (2028)
  // follow the image; a clone takes the destination's serial number (2049). Every other field of
  // 2003 and the retained radio block 2867 are the radio's own: a value set there reads back
  // otherwise, and is reported.
  if (generation == 2) {
    Ignore ignore{{2002, 2028}, {{2003, 2054}, {2003, 2055}, {2003, 2070}}, {}};
    if (clone) ignore.fields.push_back({2003, 2049});
    return ignore;
  }
  // A first-generation write stamps the programming date, time and software version into block
  // 4; the container's header fields and the block address table (454) follow the image, whose
  // blocks may have changed in size (an imported option board); the option board's list headers
  // (block 17) are copies of a member that a set makes and the radio does not keep; a clone
  // keeps the radio's own serial number.
  Ignore ignore{{1, 454}, {{4, 105}, {4, 106}, {4, 461}}, {17}};
  if (clone) ignore.fields.push_back({3, 83});
  return ignore;
}

PreflightResult preflight(Component& object, const Codeplug& file, const std::function<const Codeplug&()>& meant_by,
                          const cps::sim::SimulatedRadio& radio, DeferredComponent& destination, bool keep_destination,
                          bool clone, const std::string& what) {
  const int generation = object.generation();
  PreflightResult result;
  cps::sim::SimulatedRadio& scratch = result.written;
  scratch = radio;
  // Without the failures, and with the count of calls they go by started again.
  if (!scratch.failures.empty()) {
    scratch.failures.clear();
    scratch.calls.clear();
  }
  {
    ProgressBar bar("checking");
    const HRESULT hr = clone ? object->CloneDevice(scratch.as_unknown(), kHandle, bar.as_unknown())
                             : object->WriteDevice(scratch.as_unknown(), kHandle, bar.as_unknown(), &destination);
    object.check(hr, what);
    result.write_result = hr;
  }
  if (!keep_destination) destination.release();

  Component& readback = until_exit<Component>(generation);
  HRESULT hr = S_OK;
  {
    ProgressBar bar("checking");
    // From a copy: `written` stays as the write left it, its calls included.
    cps::sim::SimulatedRadio copy = scratch;
    hr = readback->ReadDevice(copy.as_unknown(), kHandle, bar.as_unknown());
  }
  // Nearly always the radio would hold just what the file holds: the read-back object is held
  // against it where GetBlockData leaves each block, and only one that differs is decoded and
  // compared. Then nothing the object made of the file matters; otherwise what was meant is what
  // the object holds (most often the file's records all the same).
  const Ignore ignore = written_on_purpose(generation, clone);
  result.meant = &file;
  if (SUCCEEDED(hr) && holds_exactly(readback, file, ignore)) return result;
  const Codeplug& meant = meant_by();
  result.meant = &meant;
  if (SUCCEEDED(hr) && &meant != &file && holds_exactly(readback, meant, ignore)) return result;
  Codeplug predicted;
  try {
    readback.check(hr);
    predicted = snapshot(readback);
  } catch (const Failure& f) {
    std::string line = "the radio would not read this codeplug back: " + f.message + " (" + hresult_text(f.hr) + ")";
    if (!f.detail.empty()) line += ": " + f.detail;
    result.problems.push_back(line);
    return result;
  }
  result.problems =
      differences(meant, predicted, ignore, {"meant", "the radio would hold"});
  result.predicted = std::move(predicted);
  return result;
}

void check_codepage(std::string_view text, const std::string& where) {
  size_t position = 0;
  for (size_t i = 0; i < text.size(); ++position) {
    // cpsctl's texts are UTF-8 (bstr_from_utf8 refuses any that is not); a broken sequence is
    // left to it.
    const auto lead = static_cast<unsigned char>(text[i]);
    if ((lead >= 0x80 && lead < 0xC0) || lead >= 0xF8) return;
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (i + length > text.size()) return;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    if (!in_codepage(c)) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      // A control character is named by its code only.
      const std::string shown = c < 0xA0 ? "" : "'" + std::string(text.substr(i, length)) + "' ";
      throw Failure{kInvalidData, "",
                    where + ": character " + std::to_string(position + 1) + " " + shown + "(" + code +
                        ") has no Windows-1252 byte; a codeplug cannot hold it"};
    }
    i += length;
  }
}

}  // namespace cpsctl
