// The decompressor's memory on headers that claim gigabytes. Whole, cut, damaged and limited
// streams of real movies are read through it in catalogue/SwfFactsTest.
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
