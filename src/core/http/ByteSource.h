#pragma once

#include <cstddef>
#include <span>

namespace lm {

enum class ReceiveStatus {
    data,       // count bytes arrived
    closed,     // orderly close; final, so it stands for the run of empty receives that ends a read
    failed,     // error or the per-receive time-out
    outOfTime,  // the whole fetch's budget is spent
};

struct Received {
    ReceiveStatus status;
    std::size_t count = 0;
};

// Where a response's bytes come from: a connected socket, or memory for tests and fuzzing.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Receives at most into.size() bytes.
    virtual Received receive(std::span<unsigned char> into) = 0;
};

}  // namespace lm
