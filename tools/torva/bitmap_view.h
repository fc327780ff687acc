// Reading the bitmap file image that the plug-in returns: its geometry, its
// colour table and its rows in picture order (top row first).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace torva {

struct Rgb {
    uint8_t red, green, blue;
};

class BitmapView {
public:
    // Checks the headers and that every row lies within `bytes`. On failure
    // returns false and says why in `error`.
    bool parse(const std::string& bytes, std::string& error);

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    unsigned bitCount() const { return bitCount_; }
    const std::vector<Rgb>& palette() const { return palette_; }

    // Row `y` of the picture, counted from the top, as stored (padded).
    const uint8_t* row(uint32_t y) const;
    size_t rowLength() const { return rowLength_; }

private:
    const uint8_t* bytes_ = nullptr;
    uint32_t width_ = 0, height_ = 0;
    unsigned bitCount_ = 0;
    size_t pixelOffset_ = 0, rowLength_ = 0;
    std::vector<Rgb> palette_;
};

}  // namespace torva
