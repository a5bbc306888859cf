#pragma once

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "core/http/ByteSource.h"

namespace lm {

// Serves a copy of fixed bytes in pieces of at most pieceSize, then ends the way it is told.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const unsigned char> bytes,
                          std::size_t pieceSize = std::numeric_limits<std::size_t>::max(),
                          ReceiveStatus end = ReceiveStatus::closed)
        : bytes_(bytes.begin(), bytes.end()), pieceSize_(std::max<std::size_t>(pieceSize, 1)), end_(end) {}
    explicit MemorySource(std::string_view text,
                          std::size_t pieceSize = std::numeric_limits<std::size_t>::max(),
                          ReceiveStatus end = ReceiveStatus::closed)
        : MemorySource(std::span(reinterpret_cast<const unsigned char*>(text.data()), text.size()), pieceSize,
                       end) {}

    Received receive(std::span<unsigned char> into) override {
        if (remaining() == 0) return {end_};
        const std::size_t n = std::min({into.size(), pieceSize_, remaining()});
        std::memcpy(into.data(), bytes_.data() + offset_, n);
        offset_ += n;
        return {ReceiveStatus::data, n};
    }

    std::size_t remaining() const { return bytes_.size() - offset_; }

private:
    std::vector<unsigned char> bytes_;
    std::size_t offset_ = 0;
    std::size_t pieceSize_;
    ReceiveStatus end_;
};

}  // namespace lm
