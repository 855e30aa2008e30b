// The JSON text of decoded save values (SolFile.h says the form).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "catalogue/SolFile.h"

namespace pellimor {

namespace {

void AppendString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendNumber(std::string& out, double number) {
    if (std::isnan(number)) {
        out += "\"NaN\"";
    } else if (std::isinf(number)) {
        out += number > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    } else if (number == std::floor(number) && std::fabs(number) < 1e18) {
        out += std::to_string(static_cast<long long>(number));
    } else {
        // The shortest text that reads back as the same number, as JavaScript writes it.
        char text[40];
        const auto end = std::to_chars(text, text + sizeof text, number).ptr;
        out.append(text, end);
    }
}

void Append(std::string& out, const AmfValue& value, bool sorted);

void AppendMembers(std::string& out, const std::vector<AmfValue>& members, bool sorted,
                   bool& first) {
    std::vector<const AmfValue*> order;
    order.reserve(members.size());
    for (const AmfValue& member : members) {
        order.push_back(&member);
    }
    if (sorted) {
        std::stable_sort(order.begin(), order.end(),
                         [](const AmfValue* a, const AmfValue* b) { return a->name < b->name; });
    }
    for (const AmfValue* member : order) {
        out += first ? "" : ",";
        first = false;
        AppendString(out, member->name);
        out += ':';
        Append(out, *member, sorted);
    }
}

void AppendItems(std::string& out, const std::vector<AmfValue>& items, bool sorted) {
    out += '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += i == 0 ? "" : ",";
        Append(out, items[i], sorted);
    }
    out += ']';
}

void AppendHex(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += '"';
    for (const char c : bytes) {
        out += kDigits[static_cast<unsigned char>(c) >> 4];
        out += kDigits[static_cast<unsigned char>(c) & 15];
    }
    out += '"';
}

void Append(std::string& out, const AmfValue& value, bool sorted) {
    using Kind = AmfValue::Kind;
    bool first = true;
    switch (value.kind) {
        case Kind::kUndefined:
        case Kind::kNull:
            out += "null";
            return;
        case Kind::kBoolean:
            out += value.boolean ? "true" : "false";
            return;
        case Kind::kNumber:
            AppendNumber(out, value.number);
            return;
        case Kind::kString:
            AppendString(out, value.text);
            return;
        case Kind::kDate:
            out += "{\"@date\":";
            AppendNumber(out, value.number);
            out += '}';
            return;
        case Kind::kXml:
            out += "{\"@xml\":";
            AppendString(out, value.text);
            out += '}';
            return;
        case Kind::kByteArray:
            out += "{\"@bytes\":";
            AppendHex(out, value.text);
            out += '}';
            return;
        case Kind::kReference:
            out += "{\"@ref\":" + std::to_string(value.reference) + "}";
            return;
        case Kind::kArray:
            if (value.members.empty()) {
                AppendItems(out, value.items, sorted);
                return;
            }
            out += '{';
            if (!value.items.empty()) {
                out += "\"@items\":";
                AppendItems(out, value.items, sorted);
                first = false;
            }
            AppendMembers(out, value.members, sorted, first);
            out += '}';
            return;
        case Kind::kObject:
            out += '{';
            if (!value.text.empty()) {
                out += "\"@class\":";
                AppendString(out, value.text);
                first = false;
            }
            AppendMembers(out, value.members, sorted, first);
            out += '}';
            return;
    }
}

}  // namespace

std::string AmfValueAsJson(const AmfValue& value, bool sorted) {
    std::string out;
    Append(out, value, sorted);
    return out;
}

std::string AmfValuesAsJson(const std::vector<AmfValue>& values, bool sorted) {
    std::string out = "{";
    bool first = true;
    AppendMembers(out, values, sorted, first);
    return out + "}";
}

}  // namespace pellimor
