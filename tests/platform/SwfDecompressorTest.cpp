#include "platform/compression/SwfDecompressor.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "catalogue/SwfBuilder.h"
#include "ground/AddressSanitizer.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kData = std::string(PELLIMOR_TEST_DATA) + "/swf/";

std::string Pattern(std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<char>((i * 7919) >> 5);
    }
    return out;
}

TEST(SwfDecompressorTest, InflatesWholeCutAndDamagedStreams) {
    SwfDecompressor d;
    const std::string text = Pattern(300000);
    const std::string stream = test::Deflated(text);
    const auto whole = d.Inflate(stream, 1 << 30);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->ended);
    EXPECT_EQ(whole->bytes, text);
    const auto cut = d.Inflate(std::string_view(stream).substr(0, stream.size() / 2), 1 << 30);
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->ended);
    EXPECT_EQ(cut->damage, "");
    EXPECT_GT(cut->bytes.size(), 0U);
    EXPECT_EQ(cut->bytes, text.substr(0, cut->bytes.size()));
    const auto limited = d.Inflate(stream, 1000);
    ASSERT_TRUE(limited);
    EXPECT_TRUE(limited->atLimit);
    EXPECT_EQ(limited->bytes, text.substr(0, 1000));
    std::string broken = stream;
    broken[0] = '\x01';  // no zlib header
    const auto damaged = d.Inflate(broken, 1 << 30);
    ASSERT_TRUE(damaged);
    EXPECT_NE(damaged->damage, "");
    for (const std::string_view nothing : {std::string_view(), std::string_view("\x78", 1)}) {
        const auto empty = d.Inflate(nothing, 100);
        ASSERT_TRUE(empty);
        EXPECT_FALSE(empty->ended);
        EXPECT_EQ(empty->bytes, "");
    }
}

TEST(SwfDecompressorTest, DecodesTheLzmaOfARealZwsMovieWholeAndCut) {
    // Made by make-derived.py with Python's lzma from soundmanager2_flash9.swf.
    const std::string zws = test::ReadFile(kData + "soundmanager2_flash9-zws.swf");
    const std::string cws = test::ReadFile(kData + "soundmanager2_flash9.swf");
    SwfDecompressor d;
    const auto body = d.Inflate(std::string_view(cws).substr(8), 1 << 30);
    ASSERT_TRUE(body && body->ended);
    const auto whole =
        d.DecodeSwfLzma(std::string_view(zws).substr(12), body->bytes.size(), 1 << 30);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->ended);
    EXPECT_EQ(whole->bytes, body->bytes);
    const auto cut =
        d.DecodeSwfLzma(std::string_view(zws).substr(12, 3000), body->bytes.size(), 1 << 30);
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->ended);
    EXPECT_GT(cut->bytes.size(), 0U);
    EXPECT_EQ(cut->bytes, body->bytes.substr(0, cut->bytes.size()));
    const auto limited = d.DecodeSwfLzma(std::string_view(zws).substr(12), body->bytes.size(), 100);
    ASSERT_TRUE(limited);
    EXPECT_TRUE(limited->atLimit);
    EXPECT_EQ(limited->bytes, body->bytes.substr(0, 100));
}

constexpr std::size_t kHeapLimit = 512U << 20;

#if PELLIMOR_ADDRESS_SANITIZER
// The sanitizer reserves far more address space than any limit, so there the heap itself is
// watched: the most it held at once, seen at every allocation.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_current_allocated_bytes();
std::size_t heapPeak = 0;
void OnAllocation(const volatile void*, size_t size) {
    heapPeak = std::max(heapPeak, __sanitizer_get_current_allocated_bytes() + size);
}
void LimitHeap() {
    __sanitizer_install_malloc_and_free_hooks(OnAllocation, nullptr);
}
bool HeapStayedWithinLimit() {
    return heapPeak < kHeapLimit;
}
#else
void LimitHeap() {
    const rlimit limit{kHeapLimit, kHeapLimit};
    setrlimit(RLIMIT_AS, &limit);
}
bool HeapStayedWithinLimit() {
    return true;  // an allocation past the limit would have failed
}
#endif

// A header that asks for a 4 GB dictionary and 4 GB of output, decoded in a process that may
// not take 512 MB: the first megabyte comes out all the same.
TEST(SwfDecompressorTest, HeadersClaimingGigabytesCostOnlyTheLimit) {
    const std::string zws = test::ReadFile(kData + "soundmanager2_flash9-zws.swf");
    std::string lzma(zws.substr(12));
    for (int i = 1; i <= 4; ++i) {
        lzma[i] = '\xFF';  // dictionary size 4 GB - 1
    }
    const std::string zeros = test::Deflated(std::string(16 << 20, '\0'));
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        LimitHeap();
        SwfDecompressor d;
        const auto a = d.DecodeSwfLzma(lzma, 0xFFFFFFFFULL, 4096);
        const auto b = d.Inflate(zeros, 1 << 20);
        const bool fine = a && a->bytes.size() == 4096 && a->atLimit && a->damage.empty() && b &&
                          b->bytes.size() == (1U << 20) && b->atLimit &&
                          b->bytes.capacity() < (2U << 20) && HeapStayedWithinLimit();
        _exit(fine ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace pellimor
