#include "ui/DialogLayout.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOption>

#include <cmath>
#include <optional>

#include "resources/Strings.h"

namespace pellimor {

using K = ControlKind;
namespace s = strings;

const std::array<ControlSpec, 20> kControls = {{
    {kIdSave, K::kButton, s::kSave, 7, 261, 50, 14, s::kSaveTip},
    {kIdSaveAs, K::kButton, s::kSaveAs, 61, 261, 53, 14, s::kSaveAsTip},
    {kIdSaveAll, K::kButton, s::kSaveAll, 121, 260, 122, 14, s::kSaveAllTip},
    {kIdChooseFolder, K::kButton, s::kChooseFolder, 7, 278, 50, 14, s::kChooseFolderTip},
    {kIdOpenFolder, K::kButton, s::kOpenFolder, 61, 279, 53, 14, s::kOpenFolderTip},
    {kIdOpenMovie, K::kButton, s::kOpenMovie, 120, 278, 124, 14, s::kOpenMovieTip},
    {kIdRefresh, K::kButton, s::kRefresh, 7, 244, 50, 14, s::kRefreshTip},
    {kIdDelete, K::kButton, s::kDelete, 61, 244, 50, 14, s::kDeleteTip},
    {kIdAddress, K::kReadOnlyEdit, "", 186, 224, 206, 12, s::kAddressTip},
    {kIdSize, K::kReadOnlyEdit, "", 185, 235, 207, 12, s::kSizeTip},
    {kIdModified, K::kReadOnlyEdit, "", 182, 244, 206, 12, s::kModifiedTip},
    {kIdClose, K::kDefaultButton, s::kClose, 326, 278, 66, 14, s::kCloseTip},
    {kIdMovies, K::kListBox, "", 7, 7, 126, 214, s::kMoviesTip},
    {kIdLabel, K::kLabel, s::kAddressLabel, 144, 225, 45, 8},
    {kIdLabel, K::kLabel, s::kSizeLabel, 137, 235, 47, 8},
    {kIdLabel, K::kLabel, s::kModifiedLabel, 123, 247, 61, 8},
    {kIdPlayer, K::kPlayer, "", 137, 8, 253, 211},
    {kIdFrame, K::kFrame, "", 136, 7, 256, 214},
    {kIdLabel, K::kLabel, s::kSiteLabel, 7, 225, 16, 8},
    {kIdSites, K::kDropDown, "", 23, 223, 110, 30, s::kSitesTip},
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

namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The width a button leaves for its caption: its contents less the style's margin.
int ButtonRoom(const QStyle& style, const QFont& font, QSize size) {
    QStyleOptionButton option;
    option.rect = QRect(QPoint(0, 0), size);
    option.fontMetrics = QFontMetrics(font);
    return style.subElementRect(QStyle::SE_PushButtonContents, &option).width() -
           style.pixelMetric(QStyle::PM_ButtonMargin, &option);
}

// The width a closed drop-down leaves for the chosen item's text.
int DropDownRoom(const QStyle& style, const QFont& font, int width) {
    QStyleOptionComboBox option;
    option.fontMetrics = QFontMetrics(font);
    option.editable = false;
    option.frame = true;
    const QSize contents(0, option.fontMetrics.height());
    option.rect =
        QRect(QPoint(0, 0), style.sizeFromContents(QStyle::CT_ComboBox, &option, contents));
    option.rect.setWidth(width);
    return style.subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField).width();
}

}  // namespace

std::vector<CaptionRoom> MeasureCaptions(const QFont& font, const QStyle& style) {
    const BaseUnits base = MeasureBaseUnits(font);
    const QFontMetrics metrics(font);
    std::vector<CaptionRoom> rooms;
    for (const ControlSpec& spec : kControls) {
        const QRect rect = ToPixels(base, spec.x, spec.y, spec.w, spec.h);
        switch (spec.kind) {
            case ControlKind::kLabel:
                rooms.push_back({spec.id, Text(spec.caption),
                                 metrics.horizontalAdvance(Text(spec.caption)), rect.width()});
                break;
            case ControlKind::kButton:
            case ControlKind::kDefaultButton:
                rooms.push_back({spec.id, Text(spec.caption),
                                 metrics.horizontalAdvance(Text(spec.caption)),
                                 ButtonRoom(style, font, rect.size())});
                break;
            case ControlKind::kDropDown:
                for (const int item : {s::kAllSites, s::kLeftoverFiles}) {
                    const QString text = Text(s::Load(item));
                    rooms.push_back({spec.id, text, metrics.horizontalAdvance(text),
                                     DropDownRoom(style, font, rect.width())});
                }
                break;
            default:
                break;
        }
    }
    return rooms;
}

namespace {

bool CaptionsFit(const QFont& font, const QStyle& style) {
    for (const CaptionRoom& room : MeasureCaptions(font, style)) {
        if (room.needed > room.available) {
            return false;
        }
    }
    return true;
}

// The font at the nearest size, in half points from three quarters to one and a half of its
// own (so that a font given in pixels is tried near its size too), at which the captions fit.
std::optional<QFont> NearestSizeThatFits(const QFont& font, const QStyle& style) {
    if (CaptionsFit(font, style)) {
        return font;
    }
    const int start = static_cast<int>(std::lround(QFontInfo(font).pointSizeF() * 2));
    for (int step = 1; step <= start; ++step) {
        for (const int halves : {start - step, start + step}) {
            if (halves < start * 3 / 4 || halves > start * 3 / 2) {
                continue;
            }
            QFont sized = font;
            sized.setPointSizeF(halves / 2.0);
            if (CaptionsFit(sized, style)) {
                return sized;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

QFont PickDialogFont(const QFont& preferred, const QStyle& style) {
    if (auto font = NearestSizeThatFits(preferred, style)) {
        return *font;
    }
    // A family too wide for the template at any size (a fixed-pitch one): the desktop's own
    // proportional font, then the generic one, at the size asked for.
    QFont general = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    QFont sans(QStringLiteral("Sans Serif"));
    sans.setStyleHint(QFont::SansSerif);
    for (QFont other : {general, sans}) {
        other.setPointSizeF(QFontInfo(preferred).pointSizeF());
        if (auto font = NearestSizeThatFits(other, style)) {
            return *font;
        }
    }
    return preferred;
}

}  // namespace pellimor
