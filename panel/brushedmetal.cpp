#include "panel/brushedmetal.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// mt19937's raw output is the same on every platform; the standard distributions are not, so
// the scaling to [-1, 1] is done here.
class Noise
{
public:
    explicit Noise(quint32 seed)
        : engine(seed)
    {
    }
    double next() { return engine() / 2147483647.5 - 1.0; }

private:
    std::mt19937 engine;
};

// A row of long streaks: white noise averaged over a window many pixels wide, so that the
// grain runs along the row, as a brush leaves it.
std::vector<double> streakRow(Noise &noise, int width, int window)
{
    std::vector<double> raw(static_cast<size_t>(width + window));
    for (double &value : raw)
        value = noise.next();
    std::vector<double> row(static_cast<size_t>(width));
    double sum = 0.0;
    for (int i = 0; i < window; ++i)
        sum += raw[static_cast<size_t>(i)];
    for (int x = 0; x < width; ++x) {
        row[static_cast<size_t>(x)] = sum / std::sqrt(static_cast<double>(window));
        sum += raw[static_cast<size_t>(x + window)] - raw[static_cast<size_t>(x)];
    }
    return row;
}

int clampByte(double value)
{
    return std::clamp(static_cast<int>(std::lround(value)), 0, 255);
}

} // namespace

namespace BrushedMetal {

QColor groundAt(double heightFraction)
{
    // Light falls from above: the top is a little brighter than the bottom, with a faint cool
    // tint as anodised aluminium has.
    const double level = 214.0 - 24.0 * heightFraction;
    return QColor(clampByte(level - 3.0), clampByte(level - 1.0), clampByte(level + 2.0));
}

QImage texture(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    Noise noise(seed);
    for (int y = 0; y < height; ++y) {
        const QColor ground = groundAt(height > 1 ? double(y) / (height - 1) : 0.0);
        // Each row takes its own brightness, which gives the fine parallel lines; long and
        // short streaks ride on it.
        const double rowOffset = 2.2 * noise.next();
        const std::vector<double> longStreaks = streakRow(noise, width, 90);
        const std::vector<double> shortStreaks = streakRow(noise, width, 18);
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double delta = rowOffset + 2.6 * longStreaks[static_cast<size_t>(x)]
                + 1.3 * shortStreaks[static_cast<size_t>(x)] + 0.8 * noise.next();
            line[x] = qRgb(clampByte(ground.red() + delta), clampByte(ground.green() + delta),
                           clampByte(ground.blue() + delta));
        }
    }
    return image;
}

} // namespace BrushedMetal
