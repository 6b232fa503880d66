// A codeplug in a component object: the blocks read out of an object into cpsctl's records, and a
// codeplug's records set into an object, with a refused value singled out where it can be.
#pragma once

#include "codeplug.h"
#include "codeplug_file.h"
#include "compare.h"
#include "host.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace cpsctl {

// Every block the object serves, one ID per block, in the order a load needs them (the blocks
// others are prepared from first). Throws Failure for a block that cannot be read. Of a
// second-generation codeplug, the data blocks its presence table marks present; one marked
// present that has no handler is a Failure (110) naming it.
Codeplug snapshot(const Component& object);
// Whether the object holds exactly what `meant` holds, block by block, apart from what `ignore`
// leaves out (holds_exactly), each block read where GetBlockData leaves it. False also for an
// object whose blocks cannot be read: decoding them tells why.
bool holds_exactly(const Component& object, const Codeplug& meant, const Ignore& ignore);
// Whether snapshot(object) would give `codeplug` itself: the same blocks in the same order,
// every row's ID, text and attribute the same; each block read where GetBlockData leaves it.
bool holds_records(const Component& object, const Codeplug& codeplug);
// The same blocks written one at a time into `writer`, straight from what GetBlockData answers:
// neither a whole codeplug of records nor one block's is ever held.
void write_each(const Component& object, JsonWriter& writer);
Block read_block(const Component& object, int32_t id);
// `field 207 = "150"`, and `; valid range 100 to 6400, step 100` when GetRangeInfo knows one.
std::string field_detail(const Component& object, const Row& row);
// SetFieldAt of entry `index`, or SetSubFieldAt of list `index`'s `member`, with one field row.
HRESULT set_field(Component& object, int32_t block, int index, std::optional<int> member, const Row& row);
// SetBlockData of every block, in the file's order, into `object` (of the file's generation).
// A block whose record the object holds already is left alone. A refused block fails naming the
// block and, when one of its values can be singled out, the entry and field.
void set_blocks(Component& object, const Codeplug& codeplug, const std::string& source);
// After set_blocks: fails naming a field row the object took without keeping it. Returns the
// object's snapshot, or nothing when that is `codeplug` itself (holds_records).
std::optional<Codeplug> kept_records(const Component& object, const Codeplug& codeplug, const std::string& source);
// set_blocks, then kept_records.
std::optional<Codeplug> load(Component& object, const Codeplug& codeplug, const std::string& source);

}  // namespace cpsctl
