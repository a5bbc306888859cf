#include "devsim/BlankPng.h"

#include <zlib.h>

#include <cstdint>
#include <string_view>

namespace lm::sim {

namespace {

void putBigEndian(std::vector<unsigned char>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void putChunk(std::vector<unsigned char>& out, std::string_view type,
              const std::vector<unsigned char>& data) {
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(
        out, static_cast<uint32_t>(::crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// Rows of a filter byte and width zero samples, deflated.
std::vector<unsigned char> zeroRows(unsigned width, unsigned height) {
    std::vector<unsigned char> out;
    const std::vector<unsigned char> row(width + 1u, 0);
    z_stream stream{};
    if (::deflateInit(&stream, Z_BEST_COMPRESSION) != Z_OK) return out;
    unsigned char block[16384];
    for (unsigned y = 0; y < height; ++y) {
        stream.next_in = const_cast<unsigned char*>(row.data());
        stream.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = block;
            stream.avail_out = sizeof block;
            ::deflate(&stream, flush);
            out.insert(out.end(), block, block + (sizeof block - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    ::deflateEnd(&stream);
    return out;
}

}  // namespace

std::vector<unsigned char> blankPng(unsigned width, unsigned height) {
    std::vector<unsigned char> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    header.insert(header.end(), {8, 0, 0, 0, 0});  // 8-bit grey, deflate, no filter, not interlaced
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zeroRows(width, height));
    putChunk(png, "IEND", {});
    return png;
}

}  // namespace lm::sim
