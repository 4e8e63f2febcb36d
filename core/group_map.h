#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace colorsplit {

// Each pixel's group of a whole picture, two bits a pixel (there are at most four groups), row
// by row: a 96-megapixel picture's groups take 24 MB where a byte a pixel would take 96 MB. The
// export's operations on a grouping (cleanup, trap, the PDF and the vectors) work on it.
class GroupMap {
public:
    GroupMap() = default;
    // Every pixel in group 0. Throws std::bad_alloc when memory does not allow it.
    GroupMap(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool IsEmpty() const { return width_ == 0 || height_ == 0; }

    int At(int x, int y) const { return (Byte(x, y) >> Shift(x)) & 3; }
    void Set(int x, int y, int group) {
        std::uint8_t& b = bits_[Index(x, y)];
        b = static_cast<std::uint8_t>((b & ~(3u << Shift(x))) | ((group & 3u) << Shift(x)));
    }
    // Row y as a byte a pixel (Width() bytes), and back.
    void GetRow(int y, std::uint8_t* groups) const;
    void SetRow(int y, const std::uint8_t* groups);
    // Row y as stored: pixel x in bits 2(x % 4) of byte x / 4; the pairs past the width are 0.
    const std::uint8_t* PackedRow(int y) const { return bits_.data() + Index(0, y); }
    std::size_t PackedBytes() const { return stride_; }

    bool operator==(const GroupMap& other) const = default;

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x >> 2);
    }
    std::uint8_t Byte(int x, int y) const { return bits_[Index(x, y)]; }
    static unsigned Shift(int x) { return static_cast<unsigned>(x & 3) * 2; }

    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;  // bytes a row
    std::vector<std::uint8_t> bits_;
};

}  // namespace colorsplit
