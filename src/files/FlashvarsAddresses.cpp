#include "files/FlashvarsAddresses.h"

#include <string_view>
#include <unordered_set>

#include "ground/PercentDecoding.h"
#include "sites/Addresses.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

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
        std::string address =
            ResolveAddress(page.base, PercentDecoded(parameter.substr(equals + 1)));
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
