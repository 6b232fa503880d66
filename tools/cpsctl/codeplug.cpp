#include "codeplug.h"

namespace cpsctl {

const char* kind_name(Kind kind) {
  switch (kind) {
    case Kind::Fields: return "fields";
    case Kind::Block: return "block";
    case Kind::Lists: return "lists";
  }
  return "?";
}

const Block* Codeplug::find(int32_t id) const {
  for (const Block& block : blocks)
    if (block.id == id) return &block;
  return nullptr;
}

}  // namespace cpsctl
