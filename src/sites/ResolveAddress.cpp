#include "sites/ResolveAddress.h"

#include <optional>

namespace pellimor {

namespace {

// The five parts of RFC 3986's appendix B; a part that is absent is not the same as an empty
// one ("a?" has an empty query, "a" none).
struct Parts {
    std::optional<std::string_view> scheme;
    std::optional<std::string_view> authority;
    std::string_view path;
    std::optional<std::string_view> query;
    std::optional<std::string_view> fragment;
};

Parts Split(std::string_view text) {
    Parts p;
    if (const std::size_t hash = text.find('#'); hash != std::string_view::npos) {
        p.fragment = text.substr(hash + 1);
        text = text.substr(0, hash);
    }
    if (const std::size_t mark = text.find('?'); mark != std::string_view::npos) {
        p.query = text.substr(mark + 1);
        text = text.substr(0, mark);
    }
    if (const std::size_t colon = text.find(':');
        colon != std::string_view::npos && colon > 0 && text.find_first_of("/") > colon) {
        p.scheme = text.substr(0, colon);
        text = text.substr(colon + 1);
    }
    if (text.starts_with("//")) {
        const std::size_t slash = text.find('/', 2);
        p.authority = text.substr(2, slash == std::string_view::npos ? text.npos : slash - 2);
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    }
    p.path = text;
    return p;
}

// Section 5.2.4.
std::string RemoveDotSegments(std::string_view in) {
    std::string out;
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./")) {
            in.remove_prefix(2);
        } else if (in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../") || in == "/..") {
            in = in.size() == 3 ? std::string_view("/") : in.substr(3);
            const std::size_t last = out.rfind('/');
            out.erase(last == std::string::npos ? 0 : last);
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            const std::size_t next = in.find('/', 1);
            const std::size_t take = next == std::string_view::npos ? in.size() : next;
            out.append(in.substr(0, take));
            in.remove_prefix(take);
        }
    }
    return out;
}

// Section 5.2.3.
std::string Merge(const Parts& base, std::string_view reference) {
    if (base.authority && base.path.empty()) {
        return "/" + std::string(reference);
    }
    const std::size_t slash = base.path.rfind('/');
    return slash == std::string_view::npos
               ? std::string(reference)
               : std::string(base.path.substr(0, slash + 1)) + std::string(reference);
}

}  // namespace

std::string ResolveAddress(std::string_view baseText, std::string_view referenceText) {
    const Parts base = Split(baseText);
    const Parts r = Split(referenceText);
    Parts t;
    std::string path;
    std::optional<std::string_view> query;
    if (r.scheme) {
        t.scheme = r.scheme;
        t.authority = r.authority;
        path = RemoveDotSegments(r.path);
        query = r.query;
    } else {
        t.scheme = base.scheme;
        if (r.authority) {
            t.authority = r.authority;
            path = RemoveDotSegments(r.path);
            query = r.query;
        } else {
            t.authority = base.authority;
            if (r.path.empty()) {
                path = std::string(base.path);
                query = r.query ? r.query : base.query;
            } else {
                path = RemoveDotSegments(r.path.starts_with("/") ? std::string(r.path)
                                                                 : Merge(base, r.path));
                query = r.query;
            }
        }
    }
    // Section 5.3.
    std::string out;
    if (t.scheme) {
        out.append(*t.scheme).append(":");
    }
    if (t.authority) {
        out.append("//").append(*t.authority);
    }
    out.append(path);
    if (query) {
        out.append("?").append(*query);
    }
    if (r.fragment) {
        out.append("#").append(*r.fragment);
    }
    return out;
}

}  // namespace pellimor
