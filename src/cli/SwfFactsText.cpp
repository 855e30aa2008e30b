#include "cli/SwfFactsText.h"

#include <cstdio>

#include "cli/Listing.h"
#include "cli/TerminalText.h"

namespace pellimor {

namespace {

constexpr std::size_t kLabelWidth = 13;
constexpr std::size_t kShownMetadata = 200;  // characters of Metadata on the text's line

std::string Line(const std::string& label, const std::string& value) {
    return "  " + PaddedTo(label, kLabelWidth) + value + "\n";
}

std::string Pixels(std::int32_t twips) {
    char text[32];
    if (twips % 20 == 0) {
        std::snprintf(text, sizeof text, "%d", twips / 20);
    } else {
        std::snprintf(text, sizeof text, "%.2f", twips / 20.0);
    }
    return text;
}

std::string Rate(const SwfFacts& f) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", f.FramesPerSecond());
    return text;
}

std::string Colour(std::uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFF);
    return text;
}

std::string Compression(const std::string& signature) {
    if (signature == "CWS")
        return "zlib";
    if (signature == "ZWS")
        return "LZMA";
    return "uncompressed";
}

std::string Census(const SwfTagCensus& c) {
    std::string text = std::to_string(c.tags) + " tags";
    const struct {
        const char* name;
        std::uint32_t count;
    } kinds[] = {{"DoAction", c.doAction},
                 {"DoInitAction", c.doInitAction},
                 {"DoABC", c.doAbc},
                 {"DefineBinaryData", c.defineBinaryData},
                 {"ImportAssets", c.importAssets},
                 {"Metadata", c.metadata},
                 {"ProductInfo", c.productInfo}};
    for (const auto& kind : kinds) {
        if (kind.count > 0) {
            text += std::string(", ") + kind.name + " " + std::to_string(kind.count);
        }
    }
    return text;
}

// Flex's own numbers for its product and edition.
std::string Product(const SwfProductInfo& p) {
    static const char* const kProducts[] = {"unknown", "Macromedia Flex for J2EE",
                                            "Macromedia Flex for .NET", "Adobe Flex"};
    static const char* const kEditions[] = {"developer",   "full commercial", "non-commercial",
                                            "educational", "not for resale",  "trial",
                                            "no edition"};
    const std::string product =
        p.product < 4 ? kProducts[p.product] : "product " + std::to_string(p.product);
    const std::string edition =
        p.edition < 7 ? kEditions[p.edition] : "edition " + std::to_string(p.edition);
    return product + " " + std::to_string(p.major) + "." + std::to_string(p.minor) + " build " +
           std::to_string(p.build) + " (" + edition + "), compiled " + UtcTime(p.compiledAtMs);
}

std::string OneLine(const std::string& text, std::size_t most) {
    std::string line;
    for (const char c : text.substr(0, most)) {
        line += c == '\n' || c == '\r' || c == '\t' ? ' ' : c;
    }
    return ForTerminal(line) + (text.size() > most ? " ..." : "");
}

std::string JsonList(const std::vector<std::string>& texts) {
    std::string json = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        json += (i == 0 ? "" : ", ") + JsonString(texts[i]);
    }
    return json + "]";
}

template <class T>
std::string JsonNumber(const std::optional<T>& value) {
    return value ? std::to_string(*value) : "null";
}

std::string JsonBool(bool value) {
    return value ? "true" : "false";
}

}  // namespace

std::string ScriptLanguage(const SwfFacts& f) {
    const bool as3 = (f.fileAttributes && f.fileAttributes->actionScript3) || f.census.doAbc > 0;
    return as3 ? "ActionScript 3" : "ActionScript 1/2";
}

std::string UtcTime(std::uint64_t milliseconds) {
    // Days to a civil date (H. Hinnant's algorithm).
    const std::int64_t seconds = static_cast<std::int64_t>(milliseconds / 1000);
    const std::int64_t days = seconds / 86400;
    const std::int64_t rest = seconds % 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = z / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld UTC",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

std::string FactsAsText(const FactsSource& source, const SwfFacts& f) {
    std::string text = ForTerminal(source.name) + "\n";
    if (!source.address.empty()) {
        text += Line("address", ForTerminal(source.address));
    }
    if (f.signature.empty()) {
        return text + Line("not a movie", ForTerminal(f.stoppedAt));
    }
    text += Line("signature", f.signature + " (" + Compression(f.signature) + ")" +
                                  (f.version ? ", version " + std::to_string(*f.version) : ""));
    if (f.declaredLength) {
        std::string length = std::to_string(*f.declaredLength) + " bytes declared, " +
                             std::to_string(f.presentLength) + " present";
        length += f.truncated
                      ? "; truncated, " + std::to_string(f.MissingBytes()) + " bytes missing"
                      : "";
        text += Line("length", length);
    }
    if (f.stageWidthTwips && f.stageHeightTwips) {
        text += Line("stage",
                     Pixels(*f.stageWidthTwips) + " x " + Pixels(*f.stageHeightTwips) + " pixels");
    }
    if (f.frameCount) {
        text += Line("frames", std::to_string(*f.frameCount) + " at " + Rate(f) + " a second");
    }
    if (f.background) {
        text += Line("background", Colour(*f.background));
    }
    text += Line("script", ScriptLanguage(f));
    if (f.fileAttributes) {
        text += Line("network", f.fileAttributes->useNetwork ? "yes (network access)"
                                                             : "no (local files only)");
    }
    text += Line("tags", Census(f.census));
    if (f.metadata) {
        text += Line("metadata", OneLine(*f.metadata, kShownMetadata));
    }
    if (f.productInfo) {
        text += Line("made with", Product(*f.productInfo));
    }
    if (!f.stoppedAt.empty()) {
        text += Line("stopped at", ForTerminal(f.stoppedAt));
    }
    if (!f.scriptsStoppedAt.empty()) {
        text += Line("script cut", ForTerminal(f.scriptsStoppedAt));
    }
    const auto list = [&text](const std::string& label, const std::vector<std::string>& items) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            text += Line(i == 0 ? label : "", ForTerminal(items[i]));
        }
    };
    list("loads", f.addresses);
    list("host names", f.hostNames);
    return text;
}

std::string FactsAsJson(const FactsSource& source, const SwfFacts& f) {
    std::string json = "{\"name\": " + JsonString(source.name);
    json += ", \"address\": " + JsonString(source.address);
    json += ", \"site\": " + JsonString(source.site);
    json += ", \"signature\": " + JsonString(f.signature);
    json += ", \"version\": " + JsonNumber(f.version);
    json += ", \"declaredLength\": " + JsonNumber(f.declaredLength);
    json += ", \"presentLength\": " + std::to_string(f.presentLength);
    json += ", \"truncated\": " + JsonBool(f.truncated);
    json += ", \"missingBytes\": " + std::to_string(f.MissingBytes());
    json += ", \"stageWidth\": " +
            (f.stageWidthTwips ? Pixels(*f.stageWidthTwips) : std::string("null"));
    json += ", \"stageHeight\": " +
            (f.stageHeightTwips ? Pixels(*f.stageHeightTwips) : std::string("null"));
    json += ", \"frameRate\": " + (f.frameRate88 ? Rate(f) : std::string("null"));
    json += ", \"frameCount\": " + JsonNumber(f.frameCount);
    json += ", \"background\": " +
            (f.background ? JsonString(Colour(*f.background)) : std::string("null"));
    json += ", \"actionScript\": " + std::string(f.signature.empty()                     ? "null"
                                                 : ScriptLanguage(f) == "ActionScript 3" ? "3"
                                                                                         : "2");
    if (f.fileAttributes) {
        json += ", \"fileAttributes\": {\"actionScript3\": " +
                JsonBool(f.fileAttributes->actionScript3) +
                ", \"useNetwork\": " + JsonBool(f.fileAttributes->useNetwork) +
                ", \"hasMetadata\": " + JsonBool(f.fileAttributes->hasMetadata) + "}";
    } else {
        json += ", \"fileAttributes\": null";
    }
    const SwfTagCensus& c = f.census;
    json += ", \"tags\": {\"count\": " + std::to_string(c.tags) +
            ", \"doAction\": " + std::to_string(c.doAction) +
            ", \"doInitAction\": " + std::to_string(c.doInitAction) +
            ", \"doAbc\": " + std::to_string(c.doAbc) +
            ", \"defineBinaryData\": " + std::to_string(c.defineBinaryData) +
            ", \"importAssets\": " + std::to_string(c.importAssets) +
            ", \"metadata\": " + std::to_string(c.metadata) +
            ", \"productInfo\": " + std::to_string(c.productInfo) + "}";
    json += ", \"metadata\": " + (f.metadata ? JsonString(*f.metadata) : std::string("null"));
    if (f.productInfo) {
        const SwfProductInfo& p = *f.productInfo;
        json += ", \"productInfo\": {\"product\": " + std::to_string(p.product) +
                ", \"edition\": " + std::to_string(p.edition) + ", \"version\": " +
                JsonString(std::to_string(p.major) + "." + std::to_string(p.minor)) +
                ", \"build\": " + std::to_string(p.build) +
                ", \"compiled\": " + JsonString(UtcTime(p.compiledAtMs)) + "}";
    } else {
        json += ", \"productInfo\": null";
    }
    json += ", \"stoppedAt\": " + JsonString(f.stoppedAt);
    json += ", \"scriptsStoppedAt\": " + JsonString(f.scriptsStoppedAt);
    json += ", \"loads\": " + JsonList(f.addresses);
    json += ", \"hostNames\": " + JsonList(f.hostNames);
    return json + "}";
}

}  // namespace pellimor
