// The main dialog's template: its controls in template order (the tab and stacking order),
// with their ids, kinds, captions and rectangles in dialog units.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <string_view>
#include <vector>

class QStyle;

namespace pellimor {

enum class ControlKind {
    kButton,
    kDefaultButton,
    kReadOnlyEdit,
    kListBox,
    kLabel,
    kPlayer,
    kFrame,
    kDropDown
};

struct ControlSpec {
    int id;  // -1 for the labels
    ControlKind kind;
    std::string_view caption;
    int x, y, w, h;                 // dialog units
    std::string_view tooltip = {};  // Turkish with the English meaning; empty for none
};

constexpr int kIdSave = 1006, kIdSaveAs = 1001, kIdSaveAll = 1002, kIdChooseFolder = 1014,
              kIdOpenFolder = 1015, kIdOpenMovie = 1003, kIdRefresh = 1013, kIdDelete = 1004,
              kIdAddress = 1005, kIdSize = 1008, kIdModified = 1009, kIdClose = 1, kIdMovies = 1000,
              kIdPlayer = 1011, kIdFrame = 1012, kIdSites = 1016, kIdLabel = -1;

constexpr QSize kDialogSizeDu{399, 299};

extern const std::array<ControlSpec, 20> kControls;

// Dialog base units of a font as Windows measures them: the average width of the 52 Latin
// letters, rounded, and the font's height.
struct BaseUnits {
    int x = 0;
    int y = 0;
};
BaseUnits MeasureBaseUnits(const QFont& font);

// A rectangle in dialog units to pixels: x * base.x / 4, y * base.y / 8, rounded as MulDiv.
QRect ToPixels(const BaseUnits& base, int x, int y, int w, int h);
QSize ToPixels(const BaseUnits& base, QSize size);

// A fixed text of the template and the room its control gives it, in pixels, with a font.
struct CaptionRoom {
    int id;
    QString text;
    int needed;
    int available;
};
// Every label's and button's caption, and the drop-down's two fixed items as the closed
// drop-down shows them, measured with this font in this style.
std::vector<CaptionRoom> MeasureCaptions(const QFont& font, const QStyle& style);

// The dialog font: the preferred font at the nearest size at which every caption fits its
// control; for a family that fits at no size, the desktop's proportional font. The layout
// stays in dialog units of the font chosen; when nothing fits, the preferred font is kept.
QFont PickDialogFont(const QFont& preferred, const QStyle& style);

}  // namespace pellimor
