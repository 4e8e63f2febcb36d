// SVG files of a tracing's shapes, written as the rings come. Path data is relative (each step
// from the last point), in pixels with the eighths as at most three decimals, and axis-aligned
// lines as h and v: a pixel-exact ring is little more than its run lengths.
#include "platform/svg_writer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace colorsplit {

namespace {

// What is held before it is handed to the files.
constexpr std::size_t kFlushBytes = 64 * 1024;

std::string Hex(TColor c) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "#";
    for (const int v : {RedOf(c), GreenOf(c), BlueOf(c)}) {
        s += digits[v >> 4];
        s += digits[v & 15];
    }
    return s;
}

// Millimetres to the micrometre, without trailing zeros.
std::string Millimetres(double mm) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, mm, std::chars_format::fixed, 3).ptr;
    std::string s(text, end);
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    return s + "mm";
}

std::string Header(const Tracing& tracing, SvgPage page) {
    const GroupMap& map = tracing.Map();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" version=\"1.1\" "
           "width=\"" +
           Millimetres(page.widthMm) + "\" height=\"" + Millimetres(page.heightMm) +
           "\" viewBox=\"0 0 " + std::to_string(map.Width()) + " " + std::to_string(map.Height()) +
           "\" shape-rendering=\"crispEdges\">\n";
}

std::string LayerStart(int group, TColor colour) {
    const std::string name = "group" + std::to_string(group + 1);
    return "<g id=\"" + name + "\" inkscape:groupmode=\"layer\" inkscape:label=\"" + name + " " +
           Hex(colour) + "\">\n<path fill=\"" + Hex(colour) + "\" fill-rule=\"evenodd\" d=\"";
}

constexpr char kLayerEnd[] = "\"/>\n</g>\n";
constexpr char kFooter[] = "</svg>\n";

// One group's path data, handed in pieces to every file it goes into.
class PathWriter : public RingSink {
public:
    explicit PathWriter(std::vector<const SvgOut*> outs) : outs_(std::move(outs)) {
        text_.reserve(kFlushBytes + 256);
    }

    void Write(std::string_view s) {
        text_ += s;
        if (text_.size() >= kFlushBytes)
            Flush();
    }
    void Flush() {
        for (const SvgOut* out : outs_)
            (*out)(text_.data(), text_.size());
        text_.clear();
    }

    void Begin(OutlinePoint start) override {
        if (first_) {
            Command('M');
            Number(start.x);
            Number(start.y);
            first_ = false;
        } else {
            Command('m');
            Number(start.x - at_.x);
            Number(start.y - at_.y);
        }
        at_ = start_ = start;
        last_ = 'm';  // what follows an m is never left to repeat it
    }
    void Stretch(std::span<const OutlineSegment> segments, bool) override {
        for (const OutlineSegment& s : segments) {
            if (pending_)
                Put(*pending_);
            pending_ = s;
        }
    }
    void End() override {
        // z draws the last line itself.
        if (pending_ && pending_->curve)
            Put(*pending_);
        pending_.reset();
        Command('z');
        at_ = start_;
        if (text_.size() >= kFlushBytes)
            Flush();
    }

private:
    void Put(const OutlineSegment& s) {
        if (s.curve) {
            Command('c');
            Number(s.c1.x - at_.x);
            Number(s.c1.y - at_.y);
            Number(s.c2.x - at_.x);
            Number(s.c2.y - at_.y);
            Number(s.to.x - at_.x);
            Number(s.to.y - at_.y);
        } else if (s.to.y == at_.y) {
            Command('h');
            Number(s.to.x - at_.x);
        } else if (s.to.x == at_.x) {
            Command('v');
            Number(s.to.y - at_.y);
        } else {
            Command('l');
            Number(s.to.x - at_.x);
            Number(s.to.y - at_.y);
        }
        at_ = s.to;
    }

    // A command's letter, left out where it repeats the one before.
    void Command(char c) {
        if (c != last_ || c == 'z' || c == 'm' || c == 'M') {
            text_ += c;
            separate_ = false;
        }
        last_ = c;
    }

    // A length in eighths of a pixel: "12", "-3.5", ".125".
    void Number(std::int32_t v) {
        static constexpr std::array<std::string_view, 8> kEighths = {"",   ".125", ".25", ".375",
                                                                     ".5", ".625", ".75", ".875"};
        if (v < 0) {
            text_ += '-';
            v = -v;
        } else if (separate_) {
            text_ += ' ';
        }
        const std::int32_t whole = v / kOutlineUnit, eighths = v % kOutlineUnit;
        if (whole != 0 || eighths == 0) {
            char digits[12];
            const auto end = std::to_chars(digits, digits + sizeof digits, whole).ptr;
            text_.append(digits, end);
        }
        text_ += kEighths[static_cast<std::size_t>(eighths)];
        separate_ = true;
    }

    std::vector<const SvgOut*> outs_;
    std::string text_;
    OutlinePoint at_;
    OutlinePoint start_;
    std::optional<OutlineSegment> pending_;
    char last_ = 0;
    bool separate_ = false;
    bool first_ = true;
};

}  // namespace

SvgPage PageAt(int width, int height, double dotsPerInch) {
    return {width * 25.4 / dotsPerInch, height * 25.4 / dotsPerInch};
}

bool WriteShapes(const Tracing& tracing, const std::vector<TColor>& colours, SvgPage page,
                 const SvgOut& all, const std::vector<SvgOut>& each,
                 const TraceProgress& progress) {
    const std::string header = Header(tracing, page);
    const int groups = static_cast<int>(colours.size());
    const auto put = [](const SvgOut& out, std::string_view s) { out(s.data(), s.size()); };
    const auto wanted = [&](int g) {
        return static_cast<std::size_t>(g) < each.size() && each[static_cast<std::size_t>(g)];
    };
    std::int64_t traced = 0, total = 0;
    for (int g = 0; g < groups; ++g)
        total += all || wanted(g) ? tracing.Map().Height() : 0;
    if (all)
        put(all, header);
    for (int g = 0; g < groups; ++g) {
        std::vector<const SvgOut*> outs;
        if (all)
            outs.push_back(&all);
        if (wanted(g)) {
            outs.push_back(&each[static_cast<std::size_t>(g)]);
            put(each[static_cast<std::size_t>(g)], header);
        }
        if (outs.empty())
            continue;
        PathWriter path(std::move(outs));
        path.Write(LayerStart(g, colours[static_cast<std::size_t>(g)]));
        const bool going = tracing.Rings(g, path, [&](std::int64_t done, std::int64_t) {
            return !progress || progress(traced + done, total);
        });
        if (!going)
            return false;
        traced += tracing.Map().Height();
        path.Write(kLayerEnd);
        path.Flush();
        if (wanted(g))
            put(each[static_cast<std::size_t>(g)], kFooter);
    }
    if (all)
        put(all, kFooter);
    return true;
}

}  // namespace colorsplit
