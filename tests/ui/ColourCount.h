// What the window tests look for in a picture of the player: how much of a movie's colour
// it shows.
#pragma once

#include <QImage>

#include <cstdlib>

namespace pellimor::test {

// Pixels within tolerance steps of colour in each channel; image as QImage::Format_RGB32.
inline int CountNear(const QImage& image, QRgb colour, int tolerance = 10) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (std::abs(qRed(p) - qRed(colour)) <= tolerance &&
                std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
                std::abs(qBlue(p) - qBlue(colour)) <= tolerance) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace pellimor::test
