#include "devsim/CameraImage.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <numbers>

#include "devsim/Canvas.h"

namespace lm::sim {

namespace {

constexpr int kQuality = 85;
constexpr double kSunCycleMs = 24000;
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kInk{20, 24, 32};

// Hue in degrees, saturation and value 0..1.
Rgb hsv(double hue, double saturation, double value) {
    hue = std::fmod(hue, 360.0);
    if (hue < 0) hue += 360.0;
    const double c = value * saturation;
    const double x = c * (1 - std::fabs(std::fmod(hue / 60.0, 2.0) - 1));
    const double m = value - c;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hue / 60.0)) {
        case 0:
            r = c, g = x;
            break;
        case 1:
            r = x, g = c;
            break;
        case 2:
            g = c, b = x;
            break;
        case 3:
            g = x, b = c;
            break;
        case 4:
            r = x, b = c;
            break;
        default:
            r = c, b = x;
            break;
    }
    auto byte = [m](double v) { return static_cast<uint8_t>(std::lround((v + m) * 255)); };
    return {byte(r), byte(g), byte(b)};
}

// Each device gets its own hue, spread by the bytes that differ between devices.
double hueOf(const DeviceConfig& device) {
    const Mac& m = device.mac;
    const unsigned mixed = m[3] * 167u + m[4] * 71u + m[5] * 37u;
    return static_cast<double>(mixed % 360u);
}

std::string timeOfDay(WallClock::time_point now) {
    const std::time_t seconds = WallClock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

void shadowedText(Canvas& canvas, int x, int y, std::string_view text, int scale) {
    const int offset = std::max(1, scale / 2);
    canvas.text(x + offset, y + offset, text, scale, kInk);
    canvas.text(x, y, text, scale, kWhite);
}

void cloud(Canvas& canvas, double x, double y, double size) {
    const Rgb puff{250, 250, 252};
    canvas.disc(x, y, size * 0.55, puff);
    canvas.disc(x + size * 0.5, y - size * 0.25, size * 0.6, puff);
    canvas.disc(x + size * 1.0, y, size * 0.5, puff);
    canvas.blendRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(size),
                     static_cast<int>(size * 0.5), puff);
}

}  // namespace

WallClock::time_point cameraFrame(WallClock::time_point now) {
    const WallClock::duration sinceEpoch = now.time_since_epoch();
    return WallClock::time_point(sinceEpoch - sinceEpoch % kFramePeriod);
}

std::vector<unsigned char> renderCameraImage(const DeviceConfig& device, WallClock::time_point now) {
    now = cameraFrame(now);
    Canvas canvas(device.http.width, device.http.height);
    const int w = canvas.width(), h = canvas.height();
    const double ms = static_cast<double>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        (1000LL * 3600 * 24));
    const double hue = hueOf(device);

    // Sky and ground.
    const int horizon = h * 7 / 10;
    canvas.verticalGradient(hsv(hue, 0.55, 0.80), hsv(hue + 25, 0.20, 0.98));
    const double phase = std::fmod(ms, kSunCycleMs) / kSunCycleMs;
    const double sunRadius = std::max(2.0, h / 11.0);
    canvas.disc(-sunRadius + (w + 2 * sunRadius) * phase,
                horizon - std::sin(std::numbers::pi * phase) * horizon * 0.75, sunRadius, Rgb{255, 226, 150});
    for (int i = 0; i < 2; ++i) {
        const double size = w / (7.0 + 3 * i);
        const double speed = w / (30000.0 + 17000 * i);  // pixels per millisecond
        const double x = std::fmod(ms * speed + i * w * 0.55, w + 2 * size) - 1.5 * size;
        cloud(canvas, x, h * (0.18 + 0.16 * i), size);
    }
    for (int y = horizon; y < h; ++y)
        canvas.blendRect(0, y, w, 1,
                         hsv(hue + 160, 0.35, 0.55 - 0.25 * (y - horizon) / std::max(1, h - horizon)));

    // Model and version at the top, identifier and time in a band at the bottom.
    const int scale = std::max(1, w / 150);
    const int small = std::max(1, scale / 2);
    const int pad = 2 * scale;
    std::string label = device.product;
    if (!device.subtype.empty()) label += " " + device.subtype;
    shadowedText(canvas, pad, pad, label + "  " + device.version, small);

    const std::string id = identifierOf(device), clock = timeOfDay(now);
    const int lineHeight = 7 * scale + pad;
    const bool oneLine = Canvas::textWidth(id + "   " + clock, scale) + 2 * pad <= w;
    const int band = (oneLine ? 1 : 2) * lineHeight + pad;
    canvas.blendRect(0, h - band, w, band, kInk, 0.45);
    shadowedText(canvas, pad, h - band + pad, id, scale);
    const int clockY = oneLine ? h - band + pad : h - lineHeight;
    shadowedText(canvas, oneLine ? w - pad - Canvas::textWidth(clock, scale) : pad, clockY, clock, scale);
    return canvas.toJpeg(kQuality);
}

}  // namespace lm::sim
