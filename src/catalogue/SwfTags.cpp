#include "catalogue/SwfTags.h"

#include "catalogue/SwfBits.h"

namespace pellimor {

std::string SwfTagName(std::uint16_t code) {
    switch (code) {
        case kTagEnd:
            return "End";
        case kTagSetBackgroundColor:
            return "SetBackgroundColor";
        case kTagDoAction:
            return "DoAction";
        case kTagDefineSprite:
            return "DefineSprite";
        case kTagProductInfo:
            return "ProductInfo";
        case kTagImportAssets:
            return "ImportAssets";
        case kTagDoInitAction:
            return "DoInitAction";
        case kTagFileAttributes:
            return "FileAttributes";
        case kTagImportAssets2:
            return "ImportAssets2";
        case kTagDoAbcPlain:
        case kTagDoAbc:
            return "DoABC";
        case kTagMetadata:
            return "Metadata";
        case kTagDefineBinaryData:
            return "DefineBinaryData";
        default:
            return "tag " + std::to_string(code);
    }
}

std::string WalkSwfTags(std::string_view bytes, std::size_t start,
                        const std::function<bool(const SwfTag&)>& visit) {
    SwfCursor at(bytes, start);
    for (;;) {
        const std::size_t offset = at.offset();
        const auto header = at.U16();
        if (!header) {
            return "byte " + std::to_string(offset) + ": the movie ends before its End tag";
        }
        const auto code = static_cast<std::uint16_t>(*header >> 6);
        std::uint32_t length = *header & 0x3F;
        if (length == 0x3F) {
            const auto longLength = at.U32();
            if (!longLength) {
                return "byte " + std::to_string(offset) + ": " + SwfTagName(code) +
                       " is cut in its header";
            }
            length = *longLength;
        }
        const auto body = at.Bytes(length);
        if (!body) {
            return "byte " + std::to_string(offset) + ": " + SwfTagName(code) + " claims " +
                   std::to_string(length) + " bytes, " + std::to_string(at.left()) + " are left";
        }
        if (!visit(SwfTag{code, offset, *body})) {
            return "byte " + std::to_string(offset) + ": " + SwfTagName(code);
        }
        if (code == kTagEnd) {
            return {};
        }
    }
}

}  // namespace pellimor
