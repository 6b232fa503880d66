#include "blocks.h"

namespace cpsctl {

namespace {

// The programming record (codeplug version), radio information (radio kind) and identity (market
// class) prepare the others, the flags and address table come before the blocks, the container's
// own header fields last.
constexpr ServedBlock kGen1Blocks[] = {
    {4, Kind::Block},   {2, Kind::Block},   {3, Kind::Block},   {453, Kind::Fields},
    {454, Kind::Fields}, {5, Kind::Block},  {8, Kind::Block},   {15, Kind::Block},
    {19, Kind::Block},  {40, Kind::Block},  {41, Kind::Block},  {42, Kind::Block},
    {38, Kind::Block},  {6, Kind::Lists},   {12, Kind::Lists},  {16, Kind::Block},
    {17, Kind::Lists},  {20, Kind::Block},  {22, Kind::Block},  {43, Kind::Block},
    {30, Kind::Block},  {29, Kind::Block},  {9, Kind::Block},   {11, Kind::Block},
    {24, Kind::Block},  {25, Kind::Block},  {26, Kind::Block},  {23, Kind::Block},
    {37, Kind::Lists},  {32, Kind::Block},  {34, Kind::Lists},  {759, Kind::Block},
    {761, Kind::Block}, {1, Kind::Fields},
};

}  // namespace

std::span<const ServedBlock> gen1_blocks() { return kGen1Blocks; }

}  // namespace cpsctl
