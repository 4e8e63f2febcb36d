#include "core/trap.h"

#include <algorithm>

namespace colorsplit {

namespace {

// 0.2126 R + 0.7152 G + 0.0722 B in ten-thousandths, exact.
int Luminance(TColor c) {
    return 2126 * RedOf(c) + 7152 * GreenOf(c) + 722 * BlueOf(c);
}

}  // namespace

// One group's film. A pixel of a darker group prints when a pixel of the group lies within
// the width: that is, when on some row dy away, the nearest pixel of the group along that row
// is at most the disc's half-width at dy. The rows around the last one made are kept, each
// with the distance along it to the nearest pixel of the group, capped past the width.
class Trap::Film {
public:
    // darker: the groups this film spreads into.
    Film(const GroupMap& map, int group, const std::vector<int>& darker, int width)
        : map_(map),
          group_(static_cast<std::uint8_t>(group)),
          width_(darker.empty() ? 0 : width),
          rows_(2 * width_ + 1),
          row_(static_cast<std::size_t>(map.Width())),
          into_(row_.size()),
          groups_(static_cast<std::size_t>(rows_) * row_.size()),
          near_(groups_.size()),
          any_(static_cast<std::size_t>(rows_)) {
        // 4 is no group: a row compares with all three at once.
        for (std::size_t i = 0; i < 3; ++i)
            darker_[i] = static_cast<std::uint8_t>(i < darker.size() ? darker[i] : 4);
        for (int dy = -width_; dy <= width_; ++dy) {
            int r = 0;
            while ((r + 1) * (r + 1) + dy * dy <= width_ * width_)
                ++r;
            reach_.push_back(static_cast<std::uint8_t>(r));
        }
    }

    void Row(int y, std::uint8_t* ink) {
        // The bytes written may alias anything, so what the loops read is held locally.
        const std::size_t w = row_.size();
        const std::uint8_t group = group_;
        if (width_ == 0) {
            map_.GetRow(y, row_.data());
            const std::uint8_t* row = row_.data();
            for (std::size_t x = 0; x < w; ++x)
                ink[x] = row[x] == group;
            return;
        }
        // The window moves down a row at a time; any other step fills it anew.
        for (int r = y == last_ + 1 ? y + width_ : y - width_; r <= y + width_; ++r)
            Load(r);
        last_ = y;
        const std::uint8_t* row = groups_.data() + Slot(y) * w;
        std::uint8_t* into = into_.data();
        const std::uint8_t d0 = darker_[0], d1 = darker_[1], d2 = darker_[2];
        std::uint8_t spreads = 0;
        for (std::size_t x = 0; x < w; ++x) {
            ink[x] = 0;
            into[x] = (row[x] == d0) | (row[x] == d1) | (row[x] == d2);
            spreads |= into[x];
        }
        if (spreads)
            for (int dy = -width_; dy <= width_; ++dy) {
                const std::size_t slot = Slot(y + dy);
                if (y + dy < 0 || y + dy >= map_.Height() || !any_[slot])
                    continue;
                const std::uint8_t* near = near_.data() + slot * w;
                const std::uint8_t reach = reach_[static_cast<std::size_t>(dy + width_)];
                for (std::size_t x = 0; x < w; ++x)
                    ink[x] |= near[x] <= reach;
            }
        for (std::size_t x = 0; x < w; ++x)
            ink[x] = (ink[x] & into[x]) | (row[x] == group);
    }

private:
    std::size_t Slot(int y) const { return static_cast<std::size_t>((y % rows_ + rows_) % rows_); }

    // Row r into its slot, with the distance along it to the nearest pixel of the group.
    void Load(int r) {
        if (r < 0 || r >= map_.Height())
            return;
        const std::size_t w = row_.size();
        std::uint8_t* groups = groups_.data() + Slot(r) * w;
        std::uint8_t* near = near_.data() + Slot(r) * w;
        map_.GetRow(r, groups);
        const std::uint8_t group = group_;
        const int far = width_ + 1;
        int d = far;
        bool any = false;
        for (std::size_t x = 0; x < w; ++x) {
            d = groups[x] == group ? 0 : std::min(d + 1, far);
            any |= d == 0;
            near[x] = static_cast<std::uint8_t>(d);
        }
        any_[Slot(r)] = any;
        d = far;
        for (std::size_t x = w; x-- > 0;) {
            d = groups[x] == group ? 0 : std::min(d + 1, far);
            near[x] = std::min(near[x], static_cast<std::uint8_t>(d));
        }
    }

    const GroupMap& map_;
    const std::uint8_t group_;
    const int width_;  // 0 when there is nothing darker to spread into
    const int rows_;   // in the window
    std::uint8_t darker_[3];
    std::vector<std::uint8_t> reach_;  // the disc's half-width dy rows away, by dy + width
    std::vector<std::uint8_t> row_;    // a row's groups, without a window
    std::vector<std::uint8_t> into_;   // a pixel of the row is of a darker group
    // The window: row r's groups and distances in slot r mod rows_.
    std::vector<std::uint8_t> groups_, near_;
    std::vector<std::uint8_t> any_;  // a slot's row holds a pixel of the group
    int last_ = -2;
};

Trap::Trap(const GroupMap& map, const std::vector<TColor>& colours, int width) {
    width = std::clamp(width, 0, kMaxWidth);
    for (std::size_t g = 0; g < colours.size(); ++g) {
        std::vector<int> darker;
        for (std::size_t h = 0; h < colours.size(); ++h)
            if (Luminance(colours[h]) < Luminance(colours[g]))
                darker.push_back(static_cast<int>(h));
        films_.push_back(std::make_unique<Film>(map, static_cast<int>(g), darker, width));
    }
}

Trap::~Trap() = default;

void Trap::FilmRow(int group, int y, std::uint8_t* ink) {
    films_[static_cast<std::size_t>(group)]->Row(y, ink);
}

}  // namespace colorsplit
