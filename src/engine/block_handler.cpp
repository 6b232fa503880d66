#include "engine/block_handler.h"

#include "platform/errors.h"

namespace cps {

// A handler reached with an operation its block does not have: the service object's table
// refuses such calls first, so this only answers a caller that bypassed it.
namespace {
[[noreturn]] void not_served() { raise(err::kBlockNotSupported); }
}  // namespace

const FieldList& BlockHandler::fields() const { not_served(); }
void BlockHandler::set_fields(const FieldList&) { not_served(); }
const BlockRecord& BlockHandler::block() const { not_served(); }
void BlockHandler::set_block(const BlockRecord&) { not_served(); }
const ListBlockRecord& BlockHandler::lists() const { not_served(); }
void BlockHandler::set_lists(const ListBlockRecord&) { not_served(); }
void BlockHandler::set_field(size_t, const FieldValue&) { not_served(); }
void BlockHandler::set_member_field(size_t, size_t, const FieldValue&, BlockDirectory&) { not_served(); }
size_t BlockHandler::add_list() { not_served(); }
void BlockHandler::delete_list(size_t, BlockDirectory&) { not_served(); }
size_t BlockHandler::add_member(size_t) { not_served(); }
void BlockHandler::delete_member(size_t, size_t, BlockDirectory&) { not_served(); }
void BlockHandler::adapt_to_form() {}
std::vector<size_t> BlockHandler::rewrite_deleted(int32_t, size_t, BlockDirectory&, bool) { return {}; }
void BlockHandler::rewrite_moved(int32_t, size_t, size_t, size_t) {}
void BlockHandler::rewrite_member_deleted(int32_t, size_t, size_t, bool) {}
std::vector<int32_t> BlockHandler::referenced_blocks() const { return {}; }

}  // namespace cps
