#include "app/SwfMaker.h"

#include <algorithm>
#include <vector>

namespace pellimor {

namespace {

constexpr int kTwips = 20;

class BitWriter {
  public:
    void Bits(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            current_ = static_cast<std::uint8_t>(current_ << 1 | ((value >> i) & 1));
            if (++used_ == 8) {
                Flush();
            }
        }
    }
    void Signed(std::int32_t value, int count) { Bits(static_cast<std::uint32_t>(value), count); }
    void Align() {
        if (used_ > 0) {
            current_ = static_cast<std::uint8_t>(current_ << (8 - used_));
            Flush();
        }
    }
    std::string Take() {
        Align();
        return std::move(bytes_);
    }

  private:
    void Flush() {
        bytes_ += static_cast<char>(current_);
        current_ = 0;
        used_ = 0;
    }
    std::string bytes_;
    std::uint8_t current_ = 0;
    int used_ = 0;
};

int SignedBitsFor(std::int32_t value) {
    int bits = 1;
    while (value < -(1 << (bits - 1)) || value >= (1 << (bits - 1))) {
        ++bits;
    }
    return bits;
}

std::string Rect(std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax) {
    int bits = 1;
    for (const std::int32_t v : {xMin, xMax, yMin, yMax}) {
        bits = std::max(bits, SignedBitsFor(v));
    }
    BitWriter w;
    w.Bits(static_cast<std::uint32_t>(bits), 5);
    for (const std::int32_t v : {xMin, xMax, yMin, yMax}) {
        w.Signed(v, bits);
    }
    return w.Take();
}

std::string U16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string U32(std::uint32_t v) {
    return U16(v & 0xFFFF) + U16(v >> 16);
}
std::string Rgb(std::uint32_t c) {
    return {static_cast<char>(c >> 16), static_cast<char>(c >> 8), static_cast<char>(c)};
}

std::string Tag(int code, const std::string& body) {
    if (body.size() < 63) {
        return U16(static_cast<std::uint32_t>(code << 6 | static_cast<int>(body.size()))) + body;
    }
    return U16(static_cast<std::uint32_t>(code << 6 | 0x3F)) +
           U32(static_cast<std::uint32_t>(body.size())) + body;
}

// A filled rectangle of w x h twips with its top left corner at the origin.
std::string DefineRectangle(int id, std::int32_t w, std::int32_t h, std::uint32_t colour) {
    std::string body = U16(static_cast<std::uint32_t>(id)) + Rect(0, w, 0, h);
    body += '\x01';  // one fill style
    body += '\x00' + Rgb(colour);
    body += '\x00';  // no line styles
    BitWriter w8;
    w8.Bits(1, 4);  // fill bits
    w8.Bits(0, 4);  // line bits
    // Style change: move to (0,0), fill style 1.
    w8.Bits(0, 1);
    w8.Bits(0b00011, 5);  // new styles 0, line 0, fill1 1, fill0 0, move 1
    w8.Bits(1, 5);
    w8.Signed(0, 1);
    w8.Signed(0, 1);
    w8.Bits(1, 1);  // fill style 1
    const auto edge = [&w8](std::int32_t dx, std::int32_t dy) {
        const int bits = std::max({SignedBitsFor(dx), SignedBitsFor(dy), 2});
        w8.Bits(1, 1);  // edge
        w8.Bits(1, 1);  // straight
        w8.Bits(static_cast<std::uint32_t>(bits - 2), 4);
        if (dx != 0 && dy != 0) {
            w8.Bits(1, 1);
            w8.Signed(dx, bits);
            w8.Signed(dy, bits);
        } else {
            w8.Bits(0, 1);
            w8.Bits(dx == 0 ? 1 : 0, 1);  // vertical
            w8.Signed(dx == 0 ? dy : dx, bits);
        }
    };
    edge(w, 0);
    edge(0, h);
    edge(-w, 0);
    edge(0, -h);
    w8.Bits(0, 6);  // end of shape
    return Tag(2, body + w8.Take());
}

std::string Matrix(std::int32_t x, std::int32_t y) {
    BitWriter w;
    w.Bits(0, 1);  // no scale
    w.Bits(0, 1);  // no rotate
    const int bits = std::max(SignedBitsFor(x), SignedBitsFor(y));
    w.Bits(static_cast<std::uint32_t>(bits), 5);
    w.Signed(x, bits);
    w.Signed(y, bits);
    return w.Take();
}

std::string PlaceObject(int depth, int id, std::int32_t x, std::int32_t y, bool move) {
    std::string body;
    body += static_cast<char>(move ? 0x05 : 0x06);  // has matrix, and move or has character
    body += U16(static_cast<std::uint32_t>(depth));
    if (!move) {
        body += U16(static_cast<std::uint32_t>(id));
    }
    return Tag(26, body + Matrix(x, y));
}

std::string CString(const std::string& text) {
    return text + '\0';
}

// The frame's DoAction tag that loads d.loadMovie into level 1, once however often the movie
// loops back to its frame.
std::string LoadMovieAction(const MovieDesign& d, bool parameter) {
    // DoAction, once however often the movie loops back to this frame:
    //   if (!loaded) { loaded = true; loadMovieNum(loadMovie, 1); }
    // or, with a parameter:
    //   if (!loaded) { loaded = true; if (!p) p = loadMovie; loadMovieNum(p, 1); }
    const std::string flag = std::string("\x00", 1) + CString("loaded");
    const std::string args = CString(d.loadMovie) + CString("_level1");
    std::string body;
    body += '\x96' + U16(static_cast<std::uint32_t>(flag.size() + 2)) + flag + "\x05\x01";
    body += '\x1D';  // SetVariable
    if (parameter) {
        const std::string name = std::string("\x00", 1) + CString(d.loadParameter);
        const std::string value = std::string("\x00", 1) + CString(d.loadMovie);
        const std::string target = std::string("\x00", 1) + CString("_level1");
        std::string fallback;
        fallback +=
            '\x96' + U16(static_cast<std::uint32_t>(name.size() + value.size())) + name + value;
        fallback += '\x1D';  // SetVariable
        body += '\x96' + U16(static_cast<std::uint32_t>(name.size())) + name;
        body += '\x1C';                                                              // GetVariable
        body += '\x9D' + U16(2) + U16(static_cast<std::uint32_t>(fallback.size()));  // If
        body += fallback;
        body += '\x96' + U16(static_cast<std::uint32_t>(name.size())) + name;
        body += '\x1C';  // GetVariable
        body += '\x96' + U16(static_cast<std::uint32_t>(target.size())) + target;
        body += '\x9A' + U16(1) + std::string("\x00", 1);  // GetURL2: into a level
    } else {
        body += '\x83' + U16(static_cast<std::uint32_t>(args.size())) + args;
    }
    std::string action;
    action += '\x96' + U16(static_cast<std::uint32_t>(flag.size())) + flag;
    action += '\x1C';                                                          // GetVariable
    action += '\x9D' + U16(2) + U16(static_cast<std::uint32_t>(body.size()));  // If: skip
    action += body + '\x00';
    return Tag(12, action);
}

}  // namespace

std::string MakeSwfMovie(const MovieDesign& d) {
    const std::int32_t stageW = d.width * kTwips;
    const std::int32_t stageH = d.height * kTwips;
    std::string tags;
    tags += Tag(9, Rgb(d.background));
    const std::int32_t box = d.asLevel ? stageH / 6 : stageH / 3;
    const std::int32_t row = d.asLevel ? stageH * 2 / 3 + stageH / 48 : stageH / 3;
    tags += DefineRectangle(1, box, box, d.shapeColour);
    tags += DefineRectangle(2, stageW, stageH / 8, d.accentColour);
    // The label: a device font, so no glyphs need to be embedded.
    tags += Tag(48, U16(3) + std::string("\x00\x00", 2) + '\x05' + "_sans" + U16(0) + U16(2));
    std::string text = U16(4) + Rect(0, stageW - (d.asLevel ? box : 0), 0, stageH / 6);
    text += static_cast<char>(0x80 | 0x08 | 0x04 | 0x01);  // text, read-only, colour, font
    text += static_cast<char>(0x20 | 0x10);                // layout, not selectable
    text += U16(3) + U16(static_cast<std::uint32_t>(stageH / 12));
    text += Rgb(0x202020) + '\xFF';
    text += std::string("\x02", 1) + U16(0) + U16(0) + U16(0) + U16(0);  // centred
    text += CString("") + CString(d.label);
    tags += Tag(37, text);
    const bool parameter = !d.loadMovie.empty() && !d.loadParameter.empty();
    if (parameter) {
        // A smaller line bound to the parameter: it shows whatever the variable holds.
        std::string shown = U16(5) + Rect(0, stageW, 0, stageH / 12);
        shown += static_cast<char>(0x08 | 0x04 | 0x01);  // read-only, colour, font
        shown += static_cast<char>(0x20 | 0x10);         // layout, not selectable
        shown += U16(3) + U16(static_cast<std::uint32_t>(stageH / 20));
        shown += Rgb(0x202020) + '\xFF';
        shown += std::string("\x02", 1) + U16(0) + U16(0) + U16(0) + U16(0);  // centred
        shown += CString(d.loadParameter);
        tags += Tag(37, shown);
    }
    if (!d.asLevel) {
        tags += PlaceObject(1, 2, 0, stageH - stageH / 8, false);
    }
    tags += PlaceObject(2, 1, 0, row, false);
    tags += PlaceObject(3, 4, d.asLevel ? box : 0, d.asLevel ? row : stageH / 12, false);
    if (parameter) {
        tags += PlaceObject(4, 5, 0, stageH / 4, false);
    }
    if (!d.loadMovie.empty()) {
        tags += LoadMovieAction(d, parameter);
    }
    for (int frame = 0; frame < d.frames; ++frame) {
        if (frame > 0 && !d.asLevel) {
            const std::int32_t travel = stageW - box;
            const int half = d.frames / 2;
            const int step = frame <= half ? frame : d.frames - frame;
            tags += PlaceObject(2, 1, travel * step / std::max(half, 1), stageH / 3, true);
        }
        tags += Tag(1, "");
    }
    tags += Tag(0, "");
    std::string body = Rect(0, stageW, 0, stageH) + U16(24 << 8) +
                       U16(static_cast<std::uint32_t>(d.frames)) + tags;
    const auto length = static_cast<std::uint32_t>(8 + body.size());
    return std::string("FWS") + '\x08' + U32(length) + body;
}

}  // namespace pellimor
