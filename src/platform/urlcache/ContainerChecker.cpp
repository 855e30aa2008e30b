#include "platform/urlcache/ContainerChecker.h"

#include <unordered_set>

#include "platform/urlcache/IndexDatFormat.h"

namespace pellimor::indexdat {

namespace {

class BlockClaims {
  public:
    BlockClaims(const ContainerView& view, std::vector<std::string>& problems)
        : view_(view), problems_(problems), owner_(view.header().capacityBlocks, 0) {}

    // Marks the blocks of the record at offset as used by it.
    void Claim(std::uint32_t offset, std::uint32_t blocks, const char* what) {
        const std::uint32_t first = (offset - kBlocksStart) / kBlockSize;
        if (blocks == 0 || first >= owner_.size() || blocks > owner_.size() - first) {
            problems_.push_back(std::string(what) + " at " + std::to_string(offset) +
                                " runs past the last block");
            return;
        }
        for (std::uint32_t b = first; b < first + blocks; ++b) {
            if (!view_.IsBlockUsed(b)) {
                problems_.push_back(std::string(what) + " at " + std::to_string(offset) +
                                    " uses block " + std::to_string(b) +
                                    ", which the bitmap marks free");
                return;
            }
            if (owner_[b] != 0 && owner_[b] != offset) {
                problems_.push_back(std::string(what) + " at " + std::to_string(offset) +
                                    " overlaps the record at " + std::to_string(owner_[b]));
                return;
            }
            owner_[b] = offset;
        }
    }

  private:
    const ContainerView& view_;
    std::vector<std::string>& problems_;
    std::vector<std::uint32_t> owner_;
};

void CheckHeader(const ContainerView& view, std::vector<std::string>& problems) {
    const Header& h = view.header();
    if (h.fileSize != view.bytes().size()) {
        problems.push_back("the header gives the file size " + std::to_string(h.fileSize) +
                           ", the file has " + std::to_string(view.bytes().size()) + " bytes");
    }
    if (h.capacityBlocks > kMaxBlocks ||
        static_cast<std::uint64_t>(h.capacityBlocks) * kBlockSize + kBlocksStart != h.fileSize) {
        problems.push_back("the capacity of " + std::to_string(h.capacityBlocks) +
                           " blocks does not match the file size");
        return;
    }
    std::uint32_t used = 0;
    for (std::uint32_t b = 0; b < kMaxBlocks; ++b) {
        if (view.IsBlockUsed(b)) {
            if (b >= h.capacityBlocks) {
                problems.push_back("the bitmap marks block " + std::to_string(b) +
                                   " used, past the capacity");
                break;
            }
            ++used;
        }
    }
    if (used != h.blocksInUse) {
        problems.push_back("the header counts " + std::to_string(h.blocksInUse) +
                           " blocks in use, the bitmap " + std::to_string(used));
    }
}

}  // namespace

std::vector<std::string> CheckContainer(const ContainerView& view) {
    std::vector<std::string> problems;
    CheckHeader(view, problems);
    if (!problems.empty()) {
        return problems;  // the block checks below rely on a sound header
    }
    const Header& h = view.header();
    BlockClaims claims(view, problems);
    std::vector<std::uint32_t> filesPerFolder(h.subfolders.size(), 0);
    const auto countFile = [&](const RawUrlRecord& record) {
        if (record.subfolder < filesPerFolder.size()) {
            ++filesPerFolder[record.subfolder];
        }
    };
    std::uint32_t lastTable = 0;
    const Status chain = view.ForEachHashItem([&](const HashItem& item) {
        if (item.tableOffset != lastTable) {
            lastTable = item.tableOffset;
            claims.Claim(item.tableOffset, kHashTableBlocks, "the hash table");
        }
        if (item.key == kHashFree || item.key == kHashDeleted) {
            return true;
        }
        const ByteReader reader(view.bytes());
        const auto signature = reader.U32(item.recordOffset);
        const auto blocks = reader.U32(item.recordOffset + 4);
        if (item.recordOffset < kBlocksStart ||
            (item.recordOffset - kBlocksStart) % kBlockSize != 0 || !signature || !blocks) {
            problems.push_back("hash item " + std::to_string(item.index) +
                               " points outside the records: " + std::to_string(item.recordOffset));
            return true;
        }
        if (*signature == kUrlSignature) {
            const auto record = view.ReadUrlRecord(item.recordOffset);
            if (!record || !record->url) {
                problems.push_back("the URL record at " + std::to_string(item.recordOffset) +
                                   " is unreadable");
                return true;
            }
            countFile(*record);
        } else if (*signature != kRedirectSignature) {
            problems.push_back("hash item " + std::to_string(item.index) +
                               " points at a record that is neither URL nor REDR");
            return true;
        }
        claims.Claim(item.recordOffset, *blocks, "the record");
        return true;
    });
    if (!chain) {
        problems.push_back(chain.error());
    }
    // Leaked records keep their blocks and their place in the folder counts.
    std::unordered_set<std::uint32_t> leaks;
    const ByteReader reader(view.bytes());
    for (std::uint32_t at = *reader.U32(kLeakListHeadAt); at != 0;) {
        const auto record = view.ReadUrlRecord(at);
        if (!leaks.insert(at).second || !record || record->signature != kLeakSignature) {
            problems.push_back("the list of leaked records is broken at " + std::to_string(at));
            break;
        }
        claims.Claim(at, record->blocks, "the leaked record");
        countFile(*record);
        at = record->exemptDelta;
    }
    for (std::size_t i = 0; i < filesPerFolder.size(); ++i) {
        if (filesPerFolder[i] != h.subfolders[i].fileCount) {
            problems.push_back("cache folder " + h.subfolders[i].name + " is said to hold " +
                               std::to_string(h.subfolders[i].fileCount) + " files, the records " +
                               std::to_string(filesPerFolder[i]));
        }
    }
    return problems;
}

}  // namespace pellimor::indexdat
