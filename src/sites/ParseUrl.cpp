#include "sites/ParseUrl.h"

#include <array>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

struct SchemeInfo {
    std::string_view name;
    std::uint16_t defaultPort;
};

constexpr std::array<SchemeInfo, 8> kSchemes = {{{"ftp", 21},
                                                 {"gopher", 70},
                                                 {"http", 80},
                                                 {"https", 443},
                                                 {"file", 0},
                                                 {"news", 0},
                                                 {"mailto", 0},
                                                 {"socks", 1080}}};

UrlScheme LookUpScheme(std::string_view name) {
    for (std::size_t i = 0; i < kSchemes.size(); ++i) {
        if (EqualIgnoringCase(name, kSchemes[i].name)) {
            return static_cast<UrlScheme>(i);
        }
    }
    return UrlScheme::kOther;
}

std::uint16_t DefaultPort(UrlScheme scheme) {
    return scheme == UrlScheme::kOther ? 0 : kSchemes[static_cast<std::size_t>(scheme)].defaultPort;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The decimal number at the start of text, as atoi reads it, reduced to 16 bits.
std::uint16_t LeadingPortNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    }
    return static_cast<std::uint16_t>(negative ? 0u - value : value);
}

// One split: the work buffer holds the part being read; the caller resets parts on failure.
class Splitter {
  public:
    Splitter(std::string_view url, UrlParts& parts) : url_(url), parts_(parts) {}

    bool Run() {
        if (url_.empty()) {
            return false;
        }
        std::size_t pos = 0;
        while (pos < url_.size()) {
            const char c = url_[pos];
            Step step = Step::kNext;
            if (c == ':' && !schemeSeen_) {
                step = Scheme(pos);
            } else if (c == ':' && !(userSeen_ && portSeen_)) {
                step = PortOrPassword(pos);
            } else if (c == '@') {
                step = UserEnds(pos);
            } else if (c == '/' || c == '?') {
                step = HostEnds();
            } else {
                step = Character(pos);
            }
            if (step == Step::kFail) {
                return false;
            }
            if (step == Step::kPath) {
                break;
            }
        }
        return schemeSeen_ && PathAndExtra(url_.substr(pos));
    }

  private:
    enum class Step { kNext, kPath, kFail };

    template <typename Field>
    bool Take(Field& field) {
        return !bufferOverflow_ && field.assign(buffer_.view());
    }

    void EmptyBuffer() {
        buffer_.clear();
        bufferOverflow_ = false;
    }

    Step Scheme(std::size_t& pos) {
        parts_.scheme = bufferOverflow_ ? UrlScheme::kOther : LookUpScheme(buffer_.view());
        parts_.port = DefaultPort(parts_.scheme);
        if (!Take(parts_.schemeName)) {
            return Step::kFail;  // an unknown name longer than 32 bytes
        }
        schemeSeen_ = true;
        const bool slash1 = pos + 1 < url_.size() && url_[pos + 1] == '/';
        const bool slash2 = pos + 2 < url_.size() && url_[pos + 2] == '/';
        if (slash1 && slash2) {
            if (parts_.scheme == UrlScheme::kMailto) {
                return Step::kFail;
            }
            pos += 3;
        } else if (slash1) {
            ++pos;  // a single slash starts the path: no host
            EmptyBuffer();
            return Step::kPath;
        } else {
            ++pos;
        }
        EmptyBuffer();
        return parts_.scheme == UrlScheme::kFile ? Step::kPath : Step::kNext;
    }

    // A colon after the scheme: the port after a host, or the password after a user name.
    Step PortOrPassword(std::size_t& pos) {
        std::size_t end = pos + 1;
        while (end < url_.size() && url_[end] != '/' && url_[end] != '@') {
            ++end;
        }
        const std::string_view text = url_.substr(pos + 1, end - pos - 1);
        if (text.size() > 128) {
            return Step::kFail;
        }
        const bool atEnd = end == url_.size();
        if (!portSeen_ && (atEnd || url_[end] == '/')) {
            if (!Take(parts_.host)) {
                return Step::kFail;
            }
            parts_.port = LeadingPortNumber(text);
            portSeen_ = hostSeen_ = true;
            pos = end;
        } else if (!userSeen_ && !atEnd && url_[end] == '@') {
            if (!Take(parts_.userName)) {
                return Step::kFail;
            }
            if (!text.empty() && parts_.userName.empty()) {
                return Step::kFail;  // a password without a user name
            }
            parts_.password.assign(text);
            userSeen_ = true;
            pos = end + 1;
        } else {
            return Step::kFail;
        }
        EmptyBuffer();
        return Step::kNext;
    }

    Step UserEnds(std::size_t& pos) {
        if (userSeen_ || !Take(parts_.userName)) {
            return Step::kFail;
        }
        userSeen_ = true;
        ++pos;
        EmptyBuffer();
        return Step::kNext;
    }

    Step HostEnds() {
        if (!hostSeen_ && !Take(parts_.host)) {
            return Step::kFail;
        }
        hostSeen_ = true;
        return schemeSeen_ ? Step::kPath : Step::kFail;
    }

    Step Character(std::size_t& pos) {
        if (!buffer_.push_back(url_[pos])) {
            bufferOverflow_ = true;
        }
        ++pos;
        if (pos == url_.size()) {
            if (!hostSeen_ && !Take(parts_.host)) {
                return Step::kFail;
            }
            hostSeen_ = true;
        }
        return Step::kNext;
    }

    // Phase 2: path and extra part.
    bool PathAndExtra(std::string_view rest) {
        std::size_t pathEnd = rest.size();
        if (parts_.scheme != UrlScheme::kFile) {
            pathEnd = rest.find_first_of("#?");
            if (pathEnd == std::string_view::npos) {
                pathEnd = rest.size();
            }
        }
        if (!parts_.urlPath.assign(rest.substr(0, pathEnd)) ||
            !parts_.extraInfo.assign(rest.substr(pathEnd))) {
            return false;
        }
        if (parts_.scheme == UrlScheme::kFile || parts_.scheme == UrlScheme::kNews ||
            parts_.scheme == UrlScheme::kMailto) {
            parts_.port = 0;
        } else if (!portSeen_) {
            parts_.port = DefaultPort(parts_.scheme);
        }
        return true;
    }

    std::string_view url_;
    UrlParts& parts_;
    // The work buffer never needs more than the longest part it can become (the host).
    FixedText<256> buffer_;
    bool bufferOverflow_ = false;
    bool schemeSeen_ = false;
    bool userSeen_ = false;
    bool hostSeen_ = false;
    bool portSeen_ = false;
};

}  // namespace

void UrlParts::Reset() {
    schemeName.clear();
    host.clear();
    userName.clear();
    password.clear();
    urlPath.clear();
    extraInfo.clear();
    port = 0;
    scheme = UrlScheme::kOther;
}

bool ParseUrl(std::string_view url, UrlParts& parts) {
    parts.Reset();
    if (!Splitter(url, parts).Run()) {
        parts.Reset();
        return false;
    }
    return true;
}

std::string SiteFromUrl(const char* url) {
    return url == nullptr ? std::string() : SiteFromUrl(std::string_view(url));
}

std::string SiteFromUrl(std::string_view url) {
    if (url.empty()) {
        return {};
    }
    UrlParts parts;
    if (!ParseUrl(url, parts)) {
        return {};
    }
    std::string_view site = parts.host.view();
    if (site.size() > 4 && EqualIgnoringCase(site.substr(0, 4), "www.")) {
        site.remove_prefix(4);
    }
    return std::string(site);
}

}  // namespace pellimor
