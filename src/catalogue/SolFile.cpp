#include "catalogue/SolFile.h"

#include <bit>
#include <cstring>
#include <optional>

namespace pellimor {

namespace {

using Kind = AmfValue::Kind;

// Why reading stopped: the first failure holds, whatever is read after it.
struct Stop {
    std::string why;
};

class Cursor {
  public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    std::size_t offset() const { return offset_; }
    std::size_t left() const { return bytes_.size() - offset_; }
    bool failed() const { return !why_.empty(); }
    const std::string& why() const { return why_; }
    std::size_t failedAt() const { return failedAt_; }

    void Fail(std::string why) {
        if (why_.empty()) {
            why_ = std::move(why);
            failedAt_ = offset_;
        }
    }

    std::optional<std::uint64_t> Unsigned(int size) {
        if (failed() || left() < static_cast<std::size_t>(size)) {
            Fail("the file ends inside a value");
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            value = (value << 8) | static_cast<unsigned char>(bytes_[offset_++]);
        }
        return value;
    }

    std::optional<double> Double() {
        const auto bits = Unsigned(8);
        return bits ? std::optional<double>(std::bit_cast<double>(*bits)) : std::nullopt;
    }

    // AMF3's variable-length 29-bit integer.
    std::optional<std::uint32_t> U29() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = Unsigned(1);
            if (!byte) {
                return std::nullopt;
            }
            if (i == 3) {
                return (value << 8) | static_cast<std::uint32_t>(*byte);
            }
            value = (value << 7) | (*byte & 0x7F);
            if ((*byte & 0x80) == 0) {
                return value;
            }
        }
        return value;
    }

    // Length bytes, refused before anything is copied when the file holds fewer.
    std::optional<std::string_view> Bytes(std::uint64_t length) {
        if (failed()) {
            return std::nullopt;
        }
        if (length > left()) {
            Fail("a length of " + std::to_string(length) + " reaches past the end of the file");
            return std::nullopt;
        }
        const std::string_view bytes = bytes_.substr(offset_, static_cast<std::size_t>(length));
        offset_ += static_cast<std::size_t>(length);
        return bytes;
    }

    std::optional<unsigned char> Peek() const {
        return left() > 0 ? std::optional<unsigned char>(bytes_[offset_]) : std::nullopt;
    }

  private:
    std::string_view bytes_;
    std::size_t offset_ = 0;
    std::string why_;
    std::size_t failedAt_ = 0;
};

// AMF3 keeps the traits of an object class to refer back to.
struct Traits {
    std::string className;
    bool dynamic = false;
    bool externalizable = false;
    std::vector<std::string> sealed;
};

class AmfReader {
  public:
    explicit AmfReader(Cursor& in) : in_(in) {}

    // One AMF0 value; false when reading must stop.
    bool Amf0(AmfValue& out, int depth) {
        if (!Enter(depth)) {
            return false;
        }
        const auto marker = in_.Unsigned(1);
        if (!marker) {
            return false;
        }
        switch (*marker) {
            case 0x00: {
                const auto number = in_.Double();
                out.kind = Kind::kNumber;
                out.number = number.value_or(0);
                return number.has_value();
            }
            case 0x01: {
                const auto value = in_.Unsigned(1);
                out.kind = Kind::kBoolean;
                out.boolean = value.value_or(0) != 0;
                return value.has_value();
            }
            case 0x02:
            case 0x0C:
            case 0x0F: {
                const auto length = in_.Unsigned(*marker == 0x02 ? 2 : 4);
                const auto text = length ? in_.Bytes(*length) : std::nullopt;
                out.kind = *marker == 0x0F ? Kind::kXml : Kind::kString;
                out.text = std::string(text.value_or(""));
                return text.has_value();
            }
            case 0x03:
            case 0x10: {
                out.kind = Kind::kObject;
                if (*marker == 0x10) {
                    const auto length = in_.Unsigned(2);
                    const auto name = length ? in_.Bytes(*length) : std::nullopt;
                    if (!name) {
                        return false;
                    }
                    out.text = std::string(*name);
                }
                ++amf0Objects_;
                return Amf0Members(out.members, depth);
            }
            case 0x05:
                out.kind = Kind::kNull;
                return true;
            case 0x06:
                out.kind = Kind::kUndefined;
                return true;
            case 0x07: {
                const auto index = in_.Unsigned(2);
                out.kind = Kind::kReference;
                out.reference = static_cast<std::uint32_t>(index.value_or(0));
                if (index && *index >= amf0Objects_) {
                    in_.Fail("a reference to object " + std::to_string(*index) +
                             ", which was not read before it");
                    return false;
                }
                return index.has_value();
            }
            case 0x08: {
                out.kind = Kind::kArray;
                // The count is a hint that files get wrong; the end marker ends the array.
                if (!in_.Unsigned(4)) {
                    return false;
                }
                ++amf0Objects_;
                return Amf0Members(out.members, depth);
            }
            case 0x0A: {
                out.kind = Kind::kArray;
                const auto count = in_.Unsigned(4);
                if (!count) {
                    return false;
                }
                ++amf0Objects_;
                // Each item takes a byte at least: a count the file cannot hold stops at its end.
                for (std::uint64_t i = 0; i < *count; ++i) {
                    AmfValue item;
                    const bool read = Amf0(item, depth + 1);
                    out.items.push_back(std::move(item));
                    if (!read) {
                        return false;
                    }
                }
                return true;
            }
            case 0x0B: {
                const auto ms = in_.Double();
                const auto zone = ms ? in_.Unsigned(2) : std::nullopt;
                out.kind = Kind::kDate;
                out.number = ms.value_or(0);
                return zone.has_value();
            }
            case 0x11: {
                Amf3Reset();
                return Amf3(out, depth);
            }
            default:
                in_.Fail("an AMF0 value of type " + std::to_string(*marker) +
                         ", which saves do not hold");
                return false;
        }
    }

    // One AMF3 value; false when reading must stop.
    bool Amf3(AmfValue& out, int depth) {
        if (!Enter(depth)) {
            return false;
        }
        const auto marker = in_.Unsigned(1);
        if (!marker) {
            return false;
        }
        switch (*marker) {
            case 0x00:
                out.kind = Kind::kUndefined;
                return true;
            case 0x01:
                out.kind = Kind::kNull;
                return true;
            case 0x02:
            case 0x03:
                out.kind = Kind::kBoolean;
                out.boolean = *marker == 0x03;
                return true;
            case 0x04: {
                const auto value = in_.U29();
                out.kind = Kind::kNumber;
                // 29 bits, signed.
                const std::uint32_t bits = value.value_or(0);
                out.number = static_cast<double>((bits & 0x10000000U) != 0
                                                     ? static_cast<std::int32_t>(bits) - (1 << 29)
                                                     : static_cast<std::int32_t>(bits));
                return value.has_value();
            }
            case 0x05: {
                const auto number = in_.Double();
                out.kind = Kind::kNumber;
                out.number = number.value_or(0);
                return number.has_value();
            }
            case 0x06: {
                out.kind = Kind::kString;
                return Amf3String(out.text);
            }
            case 0x07:
            case 0x0B:
            case 0x0C: {
                out.kind = *marker == 0x0C ? Kind::kByteArray : Kind::kXml;
                const auto head = in_.U29();
                if (!head) {
                    return false;
                }
                if ((*head & 1) == 0) {
                    return ObjectReference(out, *head >> 1);
                }
                const auto bytes = in_.Bytes(*head >> 1);
                if (!bytes) {
                    return false;
                }
                out.text = std::string(*bytes);
                ++amf3Objects_;
                return true;
            }
            case 0x08: {
                const auto head = in_.U29();
                if (!head) {
                    return false;
                }
                if ((*head & 1) == 0) {
                    return ObjectReference(out, *head >> 1);
                }
                const auto ms = in_.Double();
                out.kind = Kind::kDate;
                out.number = ms.value_or(0);
                ++amf3Objects_;
                return ms.has_value();
            }
            case 0x09:
                return Amf3Array(out, depth);
            case 0x0A:
                return Amf3Object(out, depth);
            default:
                in_.Fail("an AMF3 value of type " + std::to_string(*marker) +
                         ", which this reader does not read");
                return false;
        }
    }

    // An AMF3 string, a string read before when the file refers back to one.
    bool Amf3String(std::string& text) {
        const auto head = in_.U29();
        if (!head) {
            return false;
        }
        if ((*head & 1) == 0) {
            const std::uint32_t index = *head >> 1;
            if (index >= strings_.size()) {
                in_.Fail("a reference to string " + std::to_string(index) +
                         ", which was not read before it");
                return false;
            }
            if (copied_ + strings_[index].size() > kMostAmfCopiedText) {
                in_.Fail("the strings referred to again would make more text than a save holds");
                return false;
            }
            copied_ += strings_[index].size();
            text = strings_[index];
            return true;
        }
        const auto bytes = in_.Bytes(*head >> 1);
        if (!bytes) {
            return false;
        }
        text = std::string(*bytes);
        if (!text.empty()) {
            strings_.push_back(text);
        }
        return true;
    }

    // The pairs of an AMF0 save, or of an AMF3 one.
    bool Pair(std::uint32_t version, std::vector<AmfValue>& values) {
        AmfValue value;
        if (version == 3) {
            if (!Amf3String(value.name)) {
                return false;
            }
        } else {
            const auto length = in_.Unsigned(2);
            const auto name = length ? in_.Bytes(*length) : std::nullopt;
            if (!name) {
                return false;
            }
            value.name = std::string(*name);
        }
        const bool read = version == 3 ? Amf3(value, 0) : Amf0(value, 0);
        values.push_back(std::move(value));
        if (!read) {
            return false;
        }
        const auto end = in_.Unsigned(1);
        if (end && *end != 0) {
            in_.Fail("a value is not followed by the zero byte that ends it");
        }
        return end.has_value() && *end == 0;
    }

  private:
    bool Enter(int depth) {
        if (depth > kDeepestAmfNesting) {
            in_.Fail("values nested deeper than " + std::to_string(kDeepestAmfNesting));
            return false;
        }
        if (++values_ > kMostAmfValues) {
            in_.Fail("more than " + std::to_string(kMostAmfValues) + " values");
            return false;
        }
        return true;
    }

    void Amf3Reset() {
        strings_.clear();
        traits_.clear();
        amf3Objects_ = 0;
    }

    bool ObjectReference(AmfValue& out, std::uint32_t index) {
        out.kind = Kind::kReference;
        out.reference = index;
        if (index >= amf3Objects_) {
            in_.Fail("a reference to object " + std::to_string(index) +
                     ", which was not read before it");
            return false;
        }
        return true;
    }

    // Members up to the empty name and end marker (00 00 09).
    bool Amf0Members(std::vector<AmfValue>& members, int depth) {
        for (;;) {
            const auto length = in_.Unsigned(2);
            const auto name = length ? in_.Bytes(*length) : std::nullopt;
            if (!name) {
                return false;
            }
            if (name->empty() && in_.Peek() == 0x09) {
                (void)in_.Unsigned(1);
                return true;
            }
            AmfValue member;
            member.name = std::string(*name);
            const bool read = Amf0(member, depth + 1);
            members.push_back(std::move(member));
            if (!read) {
                return false;
            }
        }
    }

    bool Amf3Array(AmfValue& out, int depth) {
        out.kind = Kind::kArray;
        const auto head = in_.U29();
        if (!head) {
            return false;
        }
        if ((*head & 1) == 0) {
            return ObjectReference(out, *head >> 1);
        }
        ++amf3Objects_;
        for (;;) {
            AmfValue member;
            if (!Amf3String(member.name)) {
                return false;
            }
            if (member.name.empty()) {
                break;
            }
            const bool read = Amf3(member, depth + 1);
            out.members.push_back(std::move(member));
            if (!read) {
                return false;
            }
        }
        for (std::uint32_t i = 0; i < (*head >> 1); ++i) {
            AmfValue item;
            const bool read = Amf3(item, depth + 1);
            out.items.push_back(std::move(item));
            if (!read) {
                return false;
            }
        }
        return true;
    }

    bool Amf3Object(AmfValue& out, int depth) {
        out.kind = Kind::kObject;
        const auto head = in_.U29();
        if (!head) {
            return false;
        }
        if ((*head & 1) == 0) {
            return ObjectReference(out, *head >> 1);
        }
        ++amf3Objects_;
        std::size_t traitsIndex = 0;
        if ((*head & 2) == 0) {
            traitsIndex = *head >> 2;
            if (traitsIndex >= traits_.size()) {
                in_.Fail("a reference to traits " + std::to_string(traitsIndex) +
                         ", which were not read before them");
                return false;
            }
        } else {
            Traits traits;
            traits.externalizable = (*head & 4) != 0;
            traits.dynamic = (*head & 8) != 0;
            if (!Amf3String(traits.className)) {
                return false;
            }
            for (std::uint32_t i = 0; i < (*head >> 4); ++i) {
                std::string name;
                if (!Amf3String(name)) {
                    return false;
                }
                traits.sealed.push_back(std::move(name));
            }
            traitsIndex = traits_.size();
            traits_.push_back(std::move(traits));
        }
        // Copied: reading the members may add traits and move the table.
        const Traits traits = traits_[traitsIndex];
        out.text = traits.className;
        if (traits.externalizable) {
            // Only the class knows how its data is laid out.
            in_.Fail("an object of class " + traits.className + " that writes itself");
            return false;
        }
        for (const std::string& name : traits.sealed) {
            AmfValue member;
            member.name = name;
            const bool read = Amf3(member, depth + 1);
            out.members.push_back(std::move(member));
            if (!read) {
                return false;
            }
        }
        while (traits.dynamic) {
            AmfValue member;
            if (!Amf3String(member.name)) {
                return false;
            }
            if (member.name.empty()) {
                break;
            }
            const bool read = Amf3(member, depth + 1);
            out.members.push_back(std::move(member));
            if (!read) {
                return false;
            }
        }
        return true;
    }

    Cursor& in_;
    std::size_t values_ = 0;
    std::size_t amf0Objects_ = 0;
    std::size_t amf3Objects_ = 0;
    std::size_t copied_ = 0;
    std::vector<std::string> strings_;
    std::vector<Traits> traits_;
};

}  // namespace

SolContents ReadSol(std::string_view bytes) {
    SolContents sol;
    Cursor in(bytes);
    const auto magic = in.Unsigned(2);
    const auto length = in.Unsigned(4);
    const auto tag = in.Bytes(4);
    const auto pad = in.Bytes(6);
    if (!magic || *magic != 0x00BF || !tag || *tag != "TCSO" || !pad) {
        sol.error = "not a Flash save (no 00 BF ... TCSO header)";
        return sol;
    }
    const auto nameLength = in.Unsigned(2);
    const auto name = nameLength ? in.Bytes(*nameLength) : std::nullopt;
    const auto version = name ? in.Unsigned(4) : std::nullopt;
    if (!version) {
        sol.error = in.why();
        sol.stoppedAt = in.failedAt();
        return sol;
    }
    sol.isSol = true;
    sol.name = std::string(*name);
    sol.amfVersion = static_cast<std::uint32_t>(*version);
    if (*version != 0 && *version != 3) {
        sol.error = "AMF version " + std::to_string(*version) + ", which saves are not written in";
        sol.stoppedAt = in.offset() - 4;
        return sol;
    }
    // The length field is often wrong in saves that work; the file's end ends the values.
    (void)length;
    AmfReader reader(in);
    while (in.left() > 0 && reader.Pair(sol.amfVersion, sol.values)) {
    }
    if (in.failed()) {
        sol.error = in.why();
        sol.stoppedAt = in.failedAt();
    }
    return sol;
}

}  // namespace pellimor
