#include "devsim/Canvas.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "devsim/BitmapFont.h"

namespace lm::sim {

namespace {

// The value lies between from and to, so it is never negative and adding a half before cutting off
// rounds it; std::lround here cost most of a picture's making.
uint8_t mix(uint8_t from, uint8_t to, double t) {
    return static_cast<uint8_t>(from + (to - from) * t + 0.5);
}

// Mixes colour into the pixel at p; an opaque colour simply replaces it.
void put(uint8_t* p, Rgb colour, double opacity) {
    if (opacity >= 1.0) {
        p[0] = colour.r;
        p[1] = colour.g;
        p[2] = colour.b;
        return;
    }
    p[0] = mix(p[0], colour.r, opacity);
    p[1] = mix(p[1], colour.g, opacity);
    p[2] = mix(p[2], colour.b, opacity);
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// libjpeg's default reaction to an error is to end the process; come back here instead.
[[noreturn]] void onJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// Only trivially destructible locals live between setjmp and longjmp.
bool encode(const uint8_t* rgb, int width, int height, int quality, unsigned char** out,
            unsigned long* size) {
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(info.next_scanline) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

Canvas::Canvas(unsigned width, unsigned height)
    : width_(static_cast<int>(width)),
      height_(static_cast<int>(height)),
      pixels_(static_cast<std::size_t>(width) * height * 3) {}

Rgb Canvas::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 3];
    return {p[0], p[1], p[2]};
}

void Canvas::blend(int x, int y, Rgb colour, double opacity) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || opacity <= 0) return;
    put(&pixels_[(static_cast<std::size_t>(y) * width_ + x) * 3], colour, opacity);
}

void Canvas::verticalGradient(Rgb top, Rgb bottom) {
    for (int y = 0; y < height_; ++y) {
        const double t = height_ > 1 ? static_cast<double>(y) / (height_ - 1) : 0.0;
        const Rgb row{mix(top.r, bottom.r, t), mix(top.g, bottom.g, t), mix(top.b, bottom.b, t)};
        blendRect(0, y, width_, 1, row);
    }
}

void Canvas::blendRect(int x, int y, int w, int h, Rgb colour, double opacity) {
    const int x0 = std::max(x, 0), x1 = std::min(x + w, width_);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, height_);
    if (opacity <= 0) return;
    for (int py = y0; py < y1; ++py) {
        uint8_t* p = &pixels_[(static_cast<std::size_t>(py) * width_ + x0) * 3];
        for (int px = x0; px < x1; ++px, p += 3)
            put(p, colour, opacity);
    }
}

void Canvas::disc(double cx, double cy, double radius, Rgb colour) {
    const int x0 = static_cast<int>(std::floor(cx - radius - 1)),
              x1 = static_cast<int>(std::ceil(cx + radius + 1));
    const int y0 = static_cast<int>(std::floor(cy - radius - 1)),
              y1 = static_cast<int>(std::ceil(cy + radius + 1));
    for (int y = std::max(y0, 0); y <= std::min(y1, height_ - 1); ++y)
        for (int x = std::max(x0, 0); x <= std::min(x1, width_ - 1); ++x) {
            const double distance = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            blend(x, y, colour, std::clamp(radius - distance + 0.5, 0.0, 1.0));
        }
}

void Canvas::text(int x, int y, std::string_view text, int scale, Rgb colour) {
    for (char c : text) {
        const BitmapFont::Glyph glyph = BitmapFont::glyph(c);
        for (int row = 0; row < BitmapFont::kHeight; ++row)
            for (int column = 0; column < BitmapFont::kWidth; ++column)
                if (glyph[static_cast<std::size_t>(row)] & (0x10 >> column))
                    blendRect(x + column * scale, y + row * scale, scale, scale, colour);
        x += BitmapFont::kAdvance * scale;
    }
}

int Canvas::textWidth(std::string_view text, int scale) {
    if (text.empty()) return 0;
    return (static_cast<int>(text.size()) * BitmapFont::kAdvance - 1) * scale;
}

std::vector<unsigned char> Canvas::toJpeg(int quality) const {
    unsigned char* out = nullptr;
    unsigned long size = 0;
    std::vector<unsigned char> jpeg;
    if (encode(pixels_.data(), width_, height_, quality, &out, &size)) jpeg.assign(out, out + size);
    std::free(out);
    return jpeg;
}

}  // namespace lm::sim
