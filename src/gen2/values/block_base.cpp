#include "gen2/values/block_base.h"

namespace cps::gen2 {

R9BlockBase::R9BlockBase() { base.context = std::make_shared<R9Context>(); }

R9BlockBase::R9BlockBase(const R9BlockBase& other) : base(other.base) {
  base.context = std::make_shared<R9Context>(other.state());
}

R9BlockBase& R9BlockBase::operator=(const R9BlockBase& other) {
  if (this != &other) {
    base = other.base;
    base.context = std::make_shared<R9Context>(other.state());
  }
  return *this;
}

}  // namespace cps::gen2
