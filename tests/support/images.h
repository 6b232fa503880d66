// Test helpers for block images: change bytes and make the checksum at the end good again, so a
// test reaches the check it means rather than the image checksum.
#pragma once

#include "engine/block_base.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace cps::test {

using Image = std::vector<uint8_t>;
using Patch = std::vector<std::pair<size_t, uint8_t>>;

// The image with its last byte made the checksum of every byte before it.
inline Image resealed(Image image) {
  if (!image.empty()) image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

// The image with the bytes at `from` + offset set, resealed.
inline Image patched(Image image, const Patch& bytes, size_t from = 0) {
  for (auto [at, value] : bytes) image[from + at] = value;
  return resealed(std::move(image));
}

}  // namespace cps::test
