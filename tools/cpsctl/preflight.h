// The pre-flight check of write and clone: the codeplug is written into a copy of the radio held
// in memory, by the same call with the same destination object, and read back from it; every
// value that would not come back as meant is listed before the real radio is touched. The
// component packs what it is given by its own rules (an alias keeps seven bits per character
// and its slot's length, a frequency becomes a count of steps above the radio's own band), so a
// codeplug that loads without complaint can still put something else on the radio.
//
// Also here: the check of a text against the character set a codeplug holds.
#pragma once

#include "codeplug.h"
#include "compare.h"
#include "host.h"
#include "sim/simulated_radio.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cpsctl {

// The fields a write or clone changes on purpose, which neither the pre-flight nor the read-back
// after the write counts as differences.
Ignore written_on_purpose(int generation, bool clone);

struct PreflightResult {
  // One line per value that would not come back as meant, or the one line saying that the radio
  // would not read the codeplug back at all. Empty: the radio would hold what was meant.
  std::vector<std::string> problems;
  // What the radio would read back as, when it reads back at all and otherwise than meant.
  std::optional<Codeplug> predicted;
  // The copy of the radio after the write, and the write's result (a success). When the radio
  // is set to fail none of its calls, they are what the real write would give: the same call
  // from the same object into the same radio with the same destination object.
  cps::sim::SimulatedRadio written;
  HRESULT write_result = S_OK;
  // What the copy was held against: the file's records when it reads back as them (whatever the
  // object holds), otherwise what the object holds.
  const Codeplug* meant = nullptr;
};

// Writes (clone: clones) `object`, loaded from `file`, into a copy of `radio` without its
// injected failures, with `destination` as the destination object, then reads the copy back and
// compares: with `file` first; when that differs, with what the object holds (`meant`, asked for
// only then; it may throw the load's Failure). The write changes the object it writes from (the
// stamp, the radio's own blocks): a real write afterwards goes from another object, or takes the
// copy. `radio` itself is not touched. A write the component refuses throws that Failure (detail
// `what`), as the real write would. Without `keep_destination`, `destination` is released right
// after the write: the read-back object then takes its memory instead of more.
PreflightResult preflight(Component& object, const Codeplug& file, const std::function<const Codeplug&()>& meant,
                          const cps::sim::SimulatedRadio& radio, DeferredComponent& destination, bool keep_destination,
                          bool clone, const std::string& what);

// Throws Failure (Invalid data) naming the first character of the UTF-8 `text` that has no byte
// in the Windows-1252 code page a codeplug holds its text in (the component would store it as
// "?"), with its position counted in characters from 1; `where` names the field.
void check_codepage(std::string_view text, const std::string& where);

}  // namespace cpsctl
