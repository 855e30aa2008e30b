#include "catalogue/SwfFactsSummary.h"

#include <cstdio>

namespace pellimor {

namespace {

std::string Compression(const std::string& signature) {
    if (signature == "CWS") {
        return "zlib-compressed (CWS)";
    }
    if (signature == "ZWS") {
        return "LZMA-compressed (ZWS)";
    }
    return "uncompressed (FWS)";
}

std::string Script(const SwfFacts& facts) {
    if (facts.fileAttributes && facts.fileAttributes->actionScript3) {
        return "ActionScript 3";
    }
    if (facts.census.doAbc > 0) {
        return "ActionScript 3";
    }
    if (facts.census.doAction > 0 || facts.census.doInitAction > 0) {
        return "ActionScript 1/2";
    }
    return "no scripts";
}

}  // namespace

std::string FactsSummary(const SwfFacts& facts) {
    if (facts.signature.empty()) {
        return "not a SWF movie";
    }
    std::string text = "SWF " + (facts.version ? std::to_string(*facts.version) : "?") + ", " +
                       Compression(facts.signature) + ", " + Script(facts);
    if (facts.stageWidthTwips && facts.stageHeightTwips) {
        char stage[96];
        std::snprintf(stage, sizeof stage, "\n%d × %d px, %.4g fps, %u frames",
                      *facts.stageWidthTwips / 20, *facts.stageHeightTwips / 20,
                      facts.FramesPerSecond(), facts.frameCount ? *facts.frameCount : 0u);
        text += stage;
    }
    if (facts.truncated && facts.declaredLength) {
        text += "\ncut short: " + std::to_string(facts.presentLength) + " of " +
                std::to_string(*facts.declaredLength) + " bytes";
    } else if (!facts.stoppedAt.empty()) {
        text += "\nread as far as " + facts.stoppedAt;
    } else {
        text += "\ncomplete";
    }
    if (!facts.addresses.empty()) {
        text += "\nloads " + std::to_string(facts.addresses.size()) +
                (facts.addresses.size() == 1 ? " file" : " files");
    }
    return text;
}

}  // namespace pellimor
