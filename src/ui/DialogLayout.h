// The main dialog's template: its controls in template order (the tab and stacking order),
// with their ids, kinds, captions and rectangles in dialog units.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include <array>
#include <string_view>

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
    int x, y, w, h;  // dialog units
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

}  // namespace pellimor
