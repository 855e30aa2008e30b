#include "catalogue/SwfScriptStrings.h"

#include "catalogue/SwfBits.h"

namespace pellimor {

namespace {

constexpr std::uint8_t kActionEnd = 0x00;
constexpr std::uint8_t kActionGetUrl = 0x83;
constexpr std::uint8_t kActionConstantPool = 0x88;
constexpr std::uint8_t kActionPush = 0x96;

std::string At(std::size_t offset, const std::string& what) {
    return "byte " + std::to_string(offset) + ": " + what;
}

// Push's values: a type byte, then the value of that type's size.
std::string PushStrings(std::string_view data, const StringSink& sink) {
    SwfCursor at(data);
    while (at.left() > 0) {
        const std::size_t offset = at.offset();
        const auto type = at.U8();
        bool ok = true;
        switch (*type) {
            case 0: {
                const auto text = at.CString();
                ok = text.has_value();
                if (ok) {
                    sink(*text);
                }
                break;
            }
            case 2:  // null
            case 3:  // undefined
                break;
            case 4:  // register
            case 5:  // boolean
            case 8:  // constant, 8-bit index
                ok = at.Skip(1);
                break;
            case 9:  // constant, 16-bit index
                ok = at.Skip(2);
                break;
            case 1:  // float
            case 7:  // integer
                ok = at.Skip(4);
                break;
            case 6:  // double
                ok = at.Skip(8);
                break;
            default:
                return At(offset, "Push value of unknown type " + std::to_string(*type));
        }
        if (!ok) {
            return At(offset, "Push value cut short");
        }
    }
    return {};
}

}  // namespace

std::string ActionStrings(std::string_view actions, const StringSink& sink) {
    SwfCursor at(actions);
    for (;;) {
        const std::size_t offset = at.offset();
        const auto code = at.U8();
        if (!code) {
            return {};  // no ActionEnd: the tag's length ends the records all the same
        }
        if (*code == kActionEnd) {
            return {};
        }
        if (*code < 0x80) {
            continue;
        }
        const auto length = at.U16();
        const auto data = length ? at.Bytes(*length) : std::nullopt;
        if (!data) {
            return At(offset, "action record claims more bytes than are left");
        }
        SwfCursor inside(*data);
        if (*code == kActionConstantPool) {
            const auto count = inside.U16();
            for (std::uint32_t i = 0; count && i < *count; ++i) {
                const auto text = inside.CString();
                if (!text) {
                    return At(offset, "constant pool cut short");
                }
                sink(*text);
            }
        } else if (*code == kActionPush) {
            if (std::string stopped = PushStrings(*data, sink); !stopped.empty()) {
                return At(offset, stopped);
            }
        } else if (*code == kActionGetUrl) {
            for (int i = 0; i < 2; ++i) {
                if (const auto text = inside.CString()) {
                    sink(*text);
                }
            }
        }
    }
}

std::string AbcStrings(std::string_view abcFile, const StringSink& sink) {
    SwfCursor at(abcFile);
    if (!at.U16() || !at.U16()) {
        return "ABC file cut in its version";
    }
    // Integers and unsigned integers: one variable-length number each; the count is one more
    // than the entries, since entry 0 is implied.
    for (const char* pool : {"integer", "unsigned integer"}) {
        const auto count = at.VarU32();
        if (!count) {
            return std::string("ABC ") + pool + " count cut short";
        }
        for (std::uint32_t i = 1; i < *count; ++i) {
            if (!at.VarU32()) {
                return std::string("ABC ") + pool + " pool cut short";
            }
        }
    }
    const auto doubles = at.VarU32();
    if (!doubles || (*doubles > 1 && !at.Skip(std::size_t{*doubles - 1} * 8))) {
        return "ABC double pool cut short";
    }
    const auto strings = at.VarU32();
    if (!strings) {
        return "ABC string count cut short";
    }
    for (std::uint32_t i = 1; i < *strings; ++i) {
        const auto size = at.VarU32();
        const auto text = size ? at.Bytes(*size) : std::nullopt;
        if (!text) {
            return "ABC string " + std::to_string(i) + " of " + std::to_string(*strings - 1) +
                   " cut short";
        }
        sink(*text);
    }
    return {};
}

}  // namespace pellimor
