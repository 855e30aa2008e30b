#include "ui/DialogLayout.h"

#include <QFontMetrics>

#include "resources/Strings.h"

namespace pellimor {

using K = ControlKind;
namespace s = strings;

const std::array<ControlSpec, 20> kControls = {{
    {kIdSave, K::kButton, s::kSave, 7, 261, 50, 14},
    {kIdSaveAs, K::kButton, s::kSaveAs, 61, 261, 53, 14},
    {kIdSaveAll, K::kButton, s::kSaveAll, 121, 260, 122, 14},
    {kIdChooseFolder, K::kButton, s::kChooseFolder, 7, 278, 50, 14},
    {kIdOpenFolder, K::kButton, s::kOpenFolder, 61, 279, 53, 14},
    {kIdOpenMovie, K::kButton, s::kOpenMovie, 120, 278, 124, 14},
    {kIdRefresh, K::kButton, s::kRefresh, 7, 244, 50, 14},
    {kIdDelete, K::kButton, s::kDelete, 61, 244, 50, 14},
    {kIdAddress, K::kReadOnlyEdit, "", 186, 224, 206, 12},
    {kIdSize, K::kReadOnlyEdit, "", 185, 235, 207, 12},
    {kIdModified, K::kReadOnlyEdit, "", 182, 244, 206, 12},
    {kIdClose, K::kDefaultButton, s::kClose, 326, 278, 66, 14},
    {kIdMovies, K::kListBox, "", 7, 7, 126, 214},
    {kIdLabel, K::kLabel, s::kAddressLabel, 144, 225, 45, 8},
    {kIdLabel, K::kLabel, s::kSizeLabel, 137, 235, 47, 8},
    {kIdLabel, K::kLabel, s::kModifiedLabel, 123, 247, 61, 8},
    {kIdPlayer, K::kPlayer, "", 137, 8, 253, 211},
    {kIdFrame, K::kFrame, "", 136, 7, 256, 214},
    {kIdLabel, K::kLabel, s::kSiteLabel, 7, 225, 16, 8},
    {kIdSites, K::kDropDown, "", 23, 223, 110, 30},
}};

BaseUnits MeasureBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width / 26 + 1) / 2, metrics.height()};
}

namespace {
// MulDiv: a * b / c rounded to the nearest integer.
int MulDiv(int a, int b, int c) {
    return static_cast<int>((static_cast<long long>(a) * b * 2 + c) / (2LL * c));
}
}  // namespace

QRect ToPixels(const BaseUnits& base, int x, int y, int w, int h) {
    const int left = MulDiv(x, base.x, 4);
    const int top = MulDiv(y, base.y, 8);
    return QRect(left, top, MulDiv(x + w, base.x, 4) - left, MulDiv(y + h, base.y, 8) - top);
}

QSize ToPixels(const BaseUnits& base, QSize size) {
    return {MulDiv(size.width(), base.x, 4), MulDiv(size.height(), base.y, 8)};
}

}  // namespace pellimor
