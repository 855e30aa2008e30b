#include "resources/Strings.h"

namespace pellimor::strings {

std::string_view Load(int id) {
    switch (id) {
        case kFolderBrowserTitle:
            return "Flash Flimlerin Kaydedileceği Bölümü Seç:";
        case kCopyFailed:
            return "Flash filmleri kaydedemedin bir şeyi beceremedin BY Tolvenar: ";
        case kAllSites:
            return "---|--Tüm Siteler--|---";
        case kLeftoverFiles:
            return "**---Artık SWF Dosyaları---**";
        default:
            return {};
    }
}

}  // namespace pellimor::strings
