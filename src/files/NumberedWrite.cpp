#include "files/NumberedWrite.h"

#include <cstdio>

namespace pellimor {

std::string NumberedFileName(const std::string& name, unsigned counter) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02u", counter);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return name + digits;
    }
    return name.substr(0, dot) + digits + name.substr(dot);
}

ByteProducer BytesProducer(std::string_view bytes) {
    return [bytes](const ByteSink& sink) -> Status {
        (void)sink(bytes);
        return Done{};
    };
}

Result<NumberedWrite> WriteNumbered(ExportFolder& folder, std::vector<std::string> segments,
                                    const ByteProducer& produce) {
    const std::string name = segments.back();
    for (unsigned counter = 0; counter <= kMostNumbers; ++counter) {
        if (counter > 0) {
            segments.back() = NumberedFileName(name, counter);
        }
        const Status result = folder.WriteNewFrom(segments, produce);
        if (!result && result.kind() != FailureKind::kTargetExists) {
            return Fail(result.error().empty() ? "cannot be written" : result.error());
        }
        if (!result) {
            if (folder.SameAs(segments, produce)) {
                // The same file, from an earlier export: kept.
                return NumberedWrite{std::move(segments), false};
            }
            continue;
        }
        return NumberedWrite{std::move(segments), counter > 0};
    }
    return Fail(name + ": every numbered name is taken");
}

}  // namespace pellimor
