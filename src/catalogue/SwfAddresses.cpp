#include "catalogue/SwfAddresses.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

constexpr std::size_t kLongestAddress = 2048;

constexpr std::string_view kLoadedExtensions[] = {
    "swf", "xml", "mp3", "flv", "png",  "jpg", "jpeg", "gif", "txt", "php", "asp", "aspx", "json",
    "as",  "f4v", "mp4", "m4v", "m4a",  "aac", "wav",  "jsp", "cfm", "cgi", "pl",  "htm",  "html",
    "zip", "bin", "dat", "csv", "smil", "css", "js",   "ttf", "svg", "bmp", "ogg", "webm"};

// Generic domains and the country codes most often seen in game sites' names, without those
// that are also short words of code ("this.is", "obj.id", "a.in", "_root.my").
constexpr std::string_view kTopLevelDomains[] = {
    "com",  "net", "org", "edu", "gov", "mil", "int",    "info", "biz", "name", "pro", "mobi",
    "tv",   "cc",  "ws",  "io",  "co",  "us",  "uk",     "de",   "fr",  "es",   "nl",  "ru",
    "pl",   "jp",  "cn",  "kr",  "br",  "au",  "ca",     "ch",   "se",  "dk",   "fi",  "cz",
    "hu",   "gr",  "pt",  "ro",  "tr",  "il",  "nz",     "za",   "mx",  "ar",   "cl",  "eu",
    "asia", "xyz", "ua",  "sk",  "lt",  "lv",  "ee",     "by",   "kz",  "tw",   "hk",  "sg",
    "ph",   "vn",  "th",  "ir",  "ie",  "fm",  "example"};

// Printable ASCII without spaces and the characters no address holds unencoded.
bool AddressCharacters(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\' && c != '{' &&
               c != '}' && c != '|' && c != '^' && c != '`';
    });
}

// Packages ("flash.net", "mx.core", "com.adobe.serialization.json") read like host and file
// names; no host name starts with a top-level domain.
bool IsPackageName(std::string_view text) {
    if (text.find('/') != std::string_view::npos) {
        return false;
    }
    for (std::string_view package :
         {"flash.", "fl.", "mx.", "air.", "spark.", "com.", "org.", "net."}) {
        if (text.starts_with(package)) {
            return true;
        }
    }
    return false;
}

bool IsAdobeNamespace(std::string_view rest) {
    // rest: the address after "scheme://"
    const std::size_t slash = rest.find('/');
    const std::string host = LoweredAscii(rest.substr(0, slash));
    if (host != "adobe.com" && host != "www.adobe.com" && host != "ns.adobe.com") {
        return false;
    }
    const std::string_view path = slash == std::string_view::npos ? "" : rest.substr(slash);
    return path.substr(path.rfind('/') + 1).find('.') == std::string_view::npos;
}

}  // namespace

bool LooksLikeLoadAddress(std::string_view text) {
    // Most strings of a script are names in its code: no dot, no scheme.
    if (text.find_first_of(".:") == std::string_view::npos) {
        return false;
    }
    if (text.empty() || text.size() > kLongestAddress || !AddressCharacters(text) ||
        IsPackageName(text)) {
        return false;
    }
    for (std::string_view scheme : {"http://", "https://"}) {
        if (StartsWithIgnoringCase(text, scheme)) {
            const std::string_view rest = text.substr(scheme.size());
            return !rest.empty() && rest.front() != '/' && !IsAdobeNamespace(rest);
        }
    }
    if (text.find("://") != std::string_view::npos || text.find(':') < text.find('/')) {
        return false;  // another scheme (rtmp:, javascript:, mailto: ...)
    }
    const std::string_view path = text.substr(0, text.find_first_of("?#"));
    const std::string_view name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return false;
    }
    const std::string_view stem = name.substr(0, dot);
    if (stem.find_first_not_of(".*") == std::string_view::npos) {
        return false;  // ".swf", "*.xml": a pattern, not a file
    }
    const std::string extension = LoweredAscii(name.substr(dot + 1));
    return std::find(std::begin(kLoadedExtensions), std::end(kLoadedExtensions), extension) !=
           std::end(kLoadedExtensions);
}

bool LooksLikeHostName(std::string_view text) {
    if (text.size() == 9 && StartsWithIgnoringCase(text, "localhost")) {
        return true;
    }
    if (text.find('.') == std::string_view::npos) {
        return false;
    }
    if (IsPackageName(text)) {
        return false;
    }
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
    }
    if (text.size() < 4 || text.size() > 253) {
        return false;
    }
    std::size_t labels = 0;
    std::string_view last;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('.', start);
        end = end == std::string_view::npos ? text.size() : end;
        const std::string_view label = text.substr(start, end - start);
        const bool fine = !label.empty() && label.size() <= 63 && label.front() != '-' &&
                          label.back() != '-' &&
                          std::all_of(label.begin(), label.end(), [](char c) {
                              return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                     (c >= '0' && c <= '9') || c == '-';
                          });
        if (!fine) {
            return false;
        }
        ++labels;
        last = label;
        start = end + 1;
    }
    const std::string top = LoweredAscii(last);
    return labels >= 2 && !LooksLikeLoadAddress(text) &&
           std::find(std::begin(kTopLevelDomains), std::end(kTopLevelDomains), top) !=
               std::end(kTopLevelDomains);
}

}  // namespace pellimor
