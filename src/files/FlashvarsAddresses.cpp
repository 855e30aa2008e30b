#include "files/FlashvarsAddresses.h"

#include <string_view>
#include <unordered_set>

#include "sites/Addresses.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A parameter's value as the movie gets it: each %XX one byte.
std::string Decoded(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const int high = value[i] == '%' && i + 2 < value.size() ? HexValue(value[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(value[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> FlashvarsAddresses(const MoviePage& page) {
    std::vector<std::string> addresses;
    std::unordered_set<std::string> seen;
    const std::string_view vars = page.flashvars;
    for (std::size_t start = 0; start < vars.size();) {
        std::size_t end = vars.find('&', start);
        if (end == std::string_view::npos) {
            end = vars.size();
        }
        const std::string_view parameter = vars.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = parameter.find('=');
        if (equals == std::string_view::npos || equals + 1 == parameter.size()) {
            continue;
        }
        std::string address = ResolveAddress(page.base, Decoded(parameter.substr(equals + 1)));
        if (IsWebAddress(address) && seen.insert(CanonicalAddress(address)).second) {
            addresses.push_back(std::move(address));
            if (addresses.size() == kMostFlashvarsAddresses) {
                break;
            }
        }
    }
    return addresses;
}

}  // namespace pellimor
