// The listing as text for people and as JSON for programs.
#pragma once

#include <ostream>
#include <string>

#include "catalogue/CacheScan.h"

namespace pellimor {

// A listing, written out as it is made: a large cache's listing is never held whole.
// It refers to the state it lists, which must outlive it.
class ListingDocument {
  public:
    enum class Form { kText, kJson };
    ListingDocument(const ListingState& state, std::string cacheFolder, Form form)
        : state_(&state), cacheFolder_(std::move(cacheFolder)), form_(form) {}

    void WriteTo(std::ostream& out) const;
    std::string str() const;
    friend std::ostream& operator<<(std::ostream& out, const ListingDocument& document) {
        document.WriteTo(out);
        return out;
    }

  private:
    const ListingState* state_;
    std::string cacheFolder_;
    Form form_;
};

ListingDocument ListingAsText(const ListingState& state, const std::string& cacheFolder);
ListingDocument ListingAsJson(const ListingState& state, const std::string& cacheFolder);
// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string& text);

}  // namespace pellimor
