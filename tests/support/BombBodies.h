// Bodies that decode to far more than they take on disk, made piece by piece so that neither
// the tests nor the benchmark ever hold what they decode to: a large but well-formed movie,
// and its gzip and brotli encodings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pellimor::test {

// An uncompressed movie of exactly length bytes (at least 64): its header, one
// DefineBinaryData tag of zeros filling it, then an ImportAssets tag naming kBigMovieLoads
// and the End tag. Handed to put in pieces.
inline constexpr std::string_view kBigMovieLoads = "http://bomb.example/level2.swf";
void BigMovie(std::uint64_t length, const std::function<void(std::string_view)>& put);

// How its first part looks and how long its zeros run, for a file written sparse.
struct BigMovieParts {
    std::string head;
    std::uint64_t zeros = 0;
    std::string tail;
};
BigMovieParts BigMovieSplit(std::uint64_t length);

enum class BodyCoding { kGzip, kBrotli };
// The movie of length bytes encoded so; only the encoded bytes are held.
std::string EncodedBigMovie(std::uint64_t length, BodyCoding coding);

}  // namespace pellimor::test
