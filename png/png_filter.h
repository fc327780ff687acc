// Choosing and applying a PNG filter to one row of samples.
#pragma once

#include <cstddef>
#include <cstdint>

namespace torva_png {

// Bytes of zeros a row buffer must have in front of it: the filters read up
// to one pixel to the left of the row's first byte.
constexpr size_t kFilterLead = 16;

// Writes the filter type and the `length` filtered bytes of `row` to `out`
// (length + 1 bytes). The filter is the one of the five (four without
// Average) whose output has the smallest sum of magnitudes, bytes read as
// signed; ties go to the lower type. `prior` is the row above (all zeros for
// the first row); `row` and `prior` each have kFilterLead zero bytes before
// them. `pixelBytes` is 1 to 8.
void FilterRow(const uint8_t* row, const uint8_t* prior, size_t length, size_t pixelBytes, bool withAverage,
               uint8_t* out);

}  // namespace torva_png
