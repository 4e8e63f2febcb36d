#include "core/group_map.h"

namespace colorsplit {

GroupMap::GroupMap(int width, int height)
    : width_(width > 0 && height > 0 ? width : 0),
      height_(width > 0 && height > 0 ? height : 0),
      stride_((static_cast<std::size_t>(width_) + 3) / 4),
      bits_(stride_ * static_cast<std::size_t>(height_)) {}

void GroupMap::GetRow(int y, std::uint8_t* groups) const {
    const std::uint8_t* row = bits_.data() + static_cast<std::size_t>(y) * stride_;
    int x = 0;
    for (; x + 4 <= width_; x += 4) {
        const unsigned b = row[x >> 2];
        groups[x] = static_cast<std::uint8_t>(b & 3);
        groups[x + 1] = static_cast<std::uint8_t>((b >> 2) & 3);
        groups[x + 2] = static_cast<std::uint8_t>((b >> 4) & 3);
        groups[x + 3] = static_cast<std::uint8_t>(b >> 6);
    }
    for (; x < width_; ++x)
        groups[x] = static_cast<std::uint8_t>(At(x, y));
}

void GroupMap::SetRow(int y, const std::uint8_t* groups) {
    std::uint8_t* row = bits_.data() + static_cast<std::size_t>(y) * stride_;
    int x = 0;
    for (; x + 4 <= width_; x += 4)
        row[x >> 2] =
            static_cast<std::uint8_t>((groups[x] & 3) | ((groups[x + 1] & 3) << 2) |
                                      ((groups[x + 2] & 3) << 4) | ((groups[x + 3] & 3) << 6));
    // The last byte's unused pairs stay 0, so that equal maps compare equal.
    if (x < width_) {
        std::uint8_t last = 0;
        for (int i = x; i < width_; ++i)
            last = static_cast<std::uint8_t>(last | ((groups[i] & 3) << Shift(i)));
        row[x >> 2] = last;
    }
}

}  // namespace colorsplit
