#include "catalogue/AmfReader.h"

namespace pellimor::amf {

using Kind = AmfValue::Kind;

bool Reader::Amf0(AmfValue& out, int depth) {
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
        case 0x0F:
            return Amf0Text(static_cast<unsigned>(*marker), out);
        case 0x03:
        case 0x10:
            return Amf0Object(static_cast<unsigned>(*marker), out, depth);
        case 0x05:
            out.kind = Kind::kNull;
            return true;
        case 0x06:
            out.kind = Kind::kUndefined;
            return true;
        case 0x07:
            return Amf0Reference(out);
        case 0x08: {
            out.kind = Kind::kArray;
            // The count is a hint that files get wrong; the end marker ends the array.
            if (!in_.Unsigned(4)) {
                return false;
            }
            ++amf0Objects_;
            return Members(out.members, depth, false);
        }
        case 0x0A:
            return Amf0StrictArray(out, depth);
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

bool Reader::Amf0Text(unsigned marker, AmfValue& out) {
    const auto length = in_.Unsigned(marker == 0x02 ? 2 : 4);
    const auto text = length ? in_.Bytes(*length) : std::nullopt;
    out.kind = marker == 0x0F ? Kind::kXml : Kind::kString;
    out.text = std::string(text.value_or(""));
    return text.has_value();
}

bool Reader::Amf0Object(unsigned marker, AmfValue& out, int depth) {
    out.kind = Kind::kObject;
    if (marker == 0x10 && !Amf0Name(out.text)) {
        return false;
    }
    ++amf0Objects_;
    return Members(out.members, depth, false);
}

bool Reader::Amf0Reference(AmfValue& out) {
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

bool Reader::Amf0StrictArray(AmfValue& out, int depth) {
    out.kind = Kind::kArray;
    const auto count = in_.Unsigned(4);
    if (!count) {
        return false;
    }
    ++amf0Objects_;
    // Each item takes a byte at least: a count the file cannot hold stops at its end.
    for (std::uint64_t i = 0; i < *count; ++i) {
        if (!Keep(out.items, {}, depth + 1, false)) {
            return false;
        }
    }
    return true;
}

bool Reader::Amf3(AmfValue& out, int depth) {
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
        case 0x04:
            return Amf3Integer(out);
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
        case 0x0C:
            return Amf3Bytes(static_cast<unsigned>(*marker), out);
        case 0x08:
            return Amf3Date(out);
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

bool Reader::Amf3Integer(AmfValue& out) {
    const auto value = in_.U29();
    out.kind = Kind::kNumber;
    // 29 bits, signed.
    const std::uint32_t bits = value.value_or(0);
    out.number =
        static_cast<double>((bits & 0x10000000U) != 0 ? static_cast<std::int32_t>(bits) - (1 << 29)
                                                      : static_cast<std::int32_t>(bits));
    return value.has_value();
}

bool Reader::Amf3Bytes(unsigned marker, AmfValue& out) {
    out.kind = marker == 0x0C ? Kind::kByteArray : Kind::kXml;
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

bool Reader::Amf3Date(AmfValue& out) {
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

bool Reader::Amf3String(std::string& text) {
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

bool Reader::Pair(std::uint32_t version, std::vector<AmfValue>& values) {
    AmfValue value;
    if (!(version == 3 ? Amf3String(value.name) : Amf0Name(value.name)) ||
        !Keep(values, std::move(value), 0, version == 3)) {
        return false;
    }
    const auto end = in_.Unsigned(1);
    if (end && *end != 0) {
        in_.Fail("a value is not followed by the zero byte that ends it");
    }
    return end.has_value() && *end == 0;
}

bool Reader::Enter(int depth) {
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

void Reader::Amf3Reset() {
    strings_.clear();
    traits_.clear();
    amf3Objects_ = 0;
}

bool Reader::ObjectReference(AmfValue& out, std::uint32_t index) {
    out.kind = Kind::kReference;
    out.reference = index;
    if (index >= amf3Objects_) {
        in_.Fail("a reference to object " + std::to_string(index) +
                 ", which was not read before it");
        return false;
    }
    return true;
}

bool Reader::Amf0Name(std::string& name) {
    const auto length = in_.Unsigned(2);
    const auto bytes = length ? in_.Bytes(*length) : std::nullopt;
    if (!bytes) {
        return false;
    }
    name = std::string(*bytes);
    return true;
}

bool Reader::Keep(std::vector<AmfValue>& values, AmfValue value, int depth, bool amf3) {
    const bool read = amf3 ? Amf3(value, depth) : Amf0(value, depth);
    values.push_back(std::move(value));
    return read;
}

bool Reader::Members(std::vector<AmfValue>& members, int depth, bool amf3) {
    for (;;) {
        AmfValue member;
        if (!(amf3 ? Amf3String(member.name) : Amf0Name(member.name))) {
            return false;
        }
        if (member.name.empty() && (amf3 || in_.Peek() == 0x09)) {
            if (!amf3) {
                (void)in_.Unsigned(1);
            }
            return true;
        }
        if (!Keep(members, std::move(member), depth + 1, amf3)) {
            return false;
        }
    }
}

bool Reader::Amf3Array(AmfValue& out, int depth) {
    out.kind = Kind::kArray;
    const auto head = in_.U29();
    if (!head) {
        return false;
    }
    if ((*head & 1) == 0) {
        return ObjectReference(out, *head >> 1);
    }
    ++amf3Objects_;
    if (!Members(out.members, depth, true)) {
        return false;
    }
    for (std::uint32_t i = 0; i < (*head >> 1); ++i) {
        if (!Keep(out.items, {}, depth + 1, true)) {
            return false;
        }
    }
    return true;
}

bool Reader::Amf3Object(AmfValue& out, int depth) {
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
        if (!Keep(out.members, std::move(member), depth + 1, true)) {
            return false;
        }
    }
    return !traits.dynamic || Members(out.members, depth, true);
}

}  // namespace pellimor::amf
