#include "gen2/values/range_table.h"

#include "engine/block_base.h"
#include "platform/errors.h"

#include <cmath>
#include <cstddef>

namespace cps::gen2 {

namespace {

// {field ID, minimum, maximum, step}, in field-ID order. Flags are (0, 1, 1); values that a
// block stores as a byte count of a unit have that unit as their step. The blocks whose byte
// layouts this build does not hold yet (2004, 2005, 2016, 2022, 2024, 2026) have only the rows
// below that name their fields; their other rows come with their layouts.
constexpr RangeRow kRows[] = {
    // Block presence table (2027): one flag per data block, the field ID being the block ID.
    {2003, 0, 1, 1}, {2004, 0, 1, 1}, {2005, 0, 1, 1}, {2006, 0, 1, 1}, {2007, 0, 1, 1},
    {2008, 0, 1, 1}, {2009, 0, 1, 1}, {2010, 0, 1, 1}, {2011, 0, 1, 1}, {2012, 0, 1, 1},
    {2013, 0, 1, 1}, {2014, 0, 1, 1}, {2015, 0, 1, 1}, {2016, 0, 1, 1}, {2017, 0, 1, 1},
    {2018, 0, 1, 1}, {2019, 0, 1, 1}, {2020, 0, 1, 1}, {2021, 0, 1, 1}, {2022, 0, 1, 1},
    {2023, 0, 1, 1}, {2024, 0, 1, 1}, {2025, 0, 1, 1}, {2026, 0, 1, 1},
    // Codeplug header (2002): the four-bit value, three of its flags, length and table addresses.
    {2040, 0, 15, 1},
    {2042, 0, 1, 1}, {2043, 0, 1, 1}, {2044, 0, 1, 1},
    {2046, 0, 65535, 1}, {2047, 0, 65535, 1}, {2048, 0, 65535, 1},
    // Radio information (2003): codeplug major and minor version, the number that survives a write.
    {2051, 0, 255, 1}, {2052, 0, 255, 1},
    {2058, 0, 65535, 1},
    // Fields of the blocks without a layout in this build.
    {2105, 5, 255, 1},
    {2113, 20, 5100, 20},
    {2121, 100, 25500, 100},
    {2124, -128, 127, 1}, {2125, -128, 127, 1},
    {2150, 2, 40, 2}, {2151, 2, 40, 2},
    {2204, -120, -70, 1}, {2205, -120, -70, 1},
    {2224, 0, 45, 1.5}, {2225, 0, 45, 1.5},
    {2228, 1000, 6300, 100},
    // Alert tones (2006).
    {2233, 0, 1, 1}, {2235, 0, 31, 1}, {2236, 0, 1, 1},
    // Digit ranges (2009): the flags of both groups and their counts.
    {2247, 0, 1, 1}, {2248, 0, 1, 1}, {2249, 0, 1, 1}, {2250, 0, 1, 1}, {2251, 0, 1, 1},
    {2252, 0, 1, 1},
    {2263, 1, 8, 1},
    {2266, 0, 1, 1}, {2267, 0, 1, 1}, {2268, 0, 1, 1}, {2269, 0, 1, 1}, {2270, 0, 1, 1},
    {2271, 0, 1, 1},
    {2282, 1, 3, 1},
    // Tone-sequence systems (2010): flags, then the tone numbers (Hz) and durations (ms).
    {2285, 0, 1, 1}, {2286, 0, 1, 1}, {2287, 0, 1, 1}, {2288, 0, 1, 1},
    {2292, 300, 3000, 1}, {2293, 40, 6000, 10}, {2294, 300, 3000, 1}, {2295, 40, 6000, 10},
    {2296, 300, 3000, 1}, {2297, 10, 6000, 10}, {2298, 40, 6000, 10}, {2299, 300, 3000, 1},
    {2300, 10, 6000, 10}, {2301, 40, 6000, 10},
    // Sequence and timer list (2011).
    {2305, 0, 7, 1}, {2307, 0, 2550, 10}, {2308, 0, 2550, 10},
    // Signalling telegrams (2012).
    {2312, 0, 7, 1}, {2313, 1, 3, 1},
    {2314, 0, 1, 1}, {2315, 0, 1, 1}, {2316, 0, 1, 1}, {2317, 0, 1, 1}, {2318, 0, 1, 1},
    {2321, 0, 1, 1}, {2322, 0, 1, 1}, {2323, 0, 1, 1},
    {2325, 0, 1, 1}, {2326, 0, 1, 1}, {2327, 0, 1, 1}, {2328, 0, 31, 1},
    {2329, 0, 1, 1}, {2331, 0, 15, 1}, {2332, 0, 1, 1}, {2334, 0, 15, 1},
    {2335, 0, 1, 1}, {2337, 0, 15, 1}, {2338, 0, 1, 1}, {2340, 0, 15, 1},
    {2341, 0, 2550, 10},
    // Acknowledge and dialling settings (2013).
    {2357, 1, 3, 1}, {2359, 0, 31, 1}, {2361, 0, 31, 1}, {2363, 0, 31, 1}, {2366, 0, 1, 1},
    {2367, 0, 1, 1},
    // Flag and timer list (2014).
    {2369, 0, 1, 1}, {2370, 0, 1, 1}, {2371, 0, 1, 1}, {2372, 0, 1, 1},
    {2374, 0, 6375, 25}, {2377, 0, 31, 1},
    // Timer list (2015).
    {2379, 0, 1000, 10}, {2380, 30, 2550, 10}, {2381, 30, 2540, 10}, {2382, 0, 2550, 10},
    {2383, 0, 2550, 10}, {2384, 0, 2550, 10}, {2385, 0, 2540, 10}, {2386, 0, 6375, 25},
    {2387, 0, 1000, 10},
    // Fields of the blocks without a layout in this build.
    {2402, 2, 63.75, 0.25},
    {2404, 500, 4000, 250},
    // Channel profiles (2017): flags, small numbers and the timer in tens.
    {2424, 0, 1, 1}, {2425, 0, 1, 1}, {2426, 0, 1, 1}, {2427, 0, 1, 1},
    {2430, 0, 1, 1}, {2431, 0, 1, 1}, {2432, 0, 1, 1},
    {2439, 0, 1, 1}, {2440, 0, 1, 1}, {2441, 0, 1, 1}, {2442, 0, 1, 1}, {2443, 0, 1, 1},
    {2444, 0, 1, 1}, {2445, 0, 1, 1}, {2446, 0, 1, 1}, {2447, 0, 1, 1}, {2448, 0, 1, 1},
    {2450, 0, 1, 1}, {2452, 0, 1, 1},
    {2455, 0, 2550, 10},
    {2458, 0, 31, 1}, {2459, 0, 1, 1}, {2461, 0, 31, 1},
    {2464, 0, 31, 1}, {2467, 0, 31, 1}, {2470, 0, 31, 1}, {2473, 0, 31, 1},
    {2474, 0, 1, 1}, {2476, 0, 31, 1}, {2477, 0, 1, 1}, {2479, 0, 31, 1},
    {2480, 0, 1, 1}, {2481, 0, 1, 1}, {2482, 0, 1, 1}, {2483, 0, 1, 1}, {2484, 0, 1, 1},
    {2485, 0, 1, 1}, {2486, 0, 1, 1}, {2487, 0, 1, 1}, {2488, 0, 1, 1}, {2489, 0, 1, 1},
    {2490, 0, 1, 1}, {2491, 0, 1, 1}, {2492, 0, 1, 1}, {2493, 0, 1, 1}, {2494, 0, 1, 1},
    {2495, 0, 1, 1},
    {2496, 0, 255, 1}, {2499, 0, 31, 1},
    // Tone tables (2020): three values in tens, then the number of each position 0..15.
    {2532, 30, 6000, 10}, {2533, 10, 6000, 10}, {2534, 40, 6000, 10},
    {2535, 300, 4000, 1}, {2536, 300, 4000, 1}, {2537, 300, 4000, 1}, {2538, 300, 4000, 1},
    {2539, 300, 4000, 1}, {2540, 300, 4000, 1}, {2541, 300, 4000, 1}, {2542, 300, 4000, 1},
    {2543, 300, 4000, 1}, {2544, 300, 4000, 1}, {2545, 300, 4000, 1}, {2546, 300, 4000, 1},
    {2547, 300, 4000, 1}, {2548, 300, 4000, 1}, {2549, 300, 4000, 1}, {2550, 300, 4000, 1},
    // A field of a block without a layout in this build, then the number list (2025).
    {2734, 50, 750, 50},
    {2735, 0, 127, 1},
    // Block address table (2028): the start address of each data block.
    {2835, 0, 65535, 1}, {2836, 0, 65535, 1}, {2837, 0, 65535, 1}, {2838, 0, 65535, 1},
    {2839, 0, 65535, 1}, {2840, 0, 65535, 1}, {2841, 0, 65535, 1}, {2842, 0, 65535, 1},
    {2843, 0, 65535, 1}, {2844, 0, 65535, 1}, {2845, 0, 65535, 1}, {2846, 0, 65535, 1},
    {2847, 0, 65535, 1}, {2848, 0, 65535, 1}, {2849, 0, 65535, 1}, {2850, 0, 65535, 1},
    {2851, 0, 65535, 1}, {2852, 0, 65535, 1}, {2853, 0, 65535, 1}, {2854, 0, 65535, 1},
    {2855, 0, 65535, 1}, {2856, 0, 65535, 1}, {2857, 0, 65535, 1}, {2858, 0, 65535, 1},
    {2859, 0, 65535, 1}, {2860, 0, 65535, 1}, {2861, 0, 65535, 1}, {2862, 0, 65535, 1},
    {2863, 0, 65535, 1}, {2864, 0, 65535, 1}, {2865, 0, 65535, 1}, {2866, 0, 65535, 1},
};

constexpr size_t kRowCount = sizeof kRows / sizeof kRows[0];
static_assert(kRowCount == 228, "the rows of the blocks whose layouts this build holds");

// The IDs the table can hold: the second generation's fields run from 2003 to 2907.
constexpr uint32_t kFirstId = 2003;
constexpr uint32_t kLastId = 2907;

constexpr bool rows_are_sound() {
  for (size_t i = 0; i < kRowCount; ++i) {
    const RangeRow& row = kRows[i];
    if (row.field_id < kFirstId || row.field_id > kLastId) return false;
    if (row.minimum > row.maximum || !(row.step > 0)) return false;
    if (i > 0 && kRows[i - 1].field_id >= row.field_id) return false;  // ascending, each ID once
  }
  return true;
}
static_assert(rows_are_sound(), "IDs ascending and unique within 2003..2907, minimum <= maximum, positive step");

constexpr RangeIndex<kFirstId, kLastId> kIndex{kRows};

}  // namespace

std::span<const RangeRow> range_rows() { return std::span<const RangeRow>(kRows); }

const RangeRow& range_row(int32_t field_id) { return kIndex.row(field_id); }

uint32_t value_to_steps(int32_t field_id, double value) {
  const RangeRow& row = range_row(field_id);
  // Written so that a NaN fails as well.
  if (!(value >= row.minimum && value <= row.maximum)) raise(err::kInvalidData);
  // Both sides in ten-thousandths, each through the "%f" whole part, so that 0.25 x 10000 counts
  // as 2500 however the product rounds. The largest row (65535) keeps a below 2^32.
  const int64_t a = whole_part(std::fabs(value) * 10000);
  const int64_t b = whole_part(row.step * 10000);
  if (b <= 0 || a % b != 0) raise(err::kInvalidData);
  return static_cast<uint32_t>(a / b);
}

void check_steps(int32_t field_id, double value) { (void)value_to_steps(field_id, value); }

}  // namespace cps::gen2
