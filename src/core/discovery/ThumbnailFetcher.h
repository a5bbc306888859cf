#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "core/discovery/DeviceInventory.h"
#include "core/discovery/FetchPool.h"
#include "core/http/HttpRequest.h"

namespace lm {

// Turns the body of an accepted picture response into the action that stores the record's two
// pictures; nullopt when the body is no picture it can read (or one of 0 x 0 pixels). Runs on the
// fetch thread, outside the inventory lock.
using Decoder =
    std::function<std::optional<DeviceInventory::PictureStore>(std::span<const unsigned char> body)>;

// One fetch as a fetch thread makes it: GET "http://" + job.address + "/image.jpg" (a port in the
// address wins over request.port), check the response, decode, then completeThumbnail. True when
// the pictures were stored. Any failure leaves the record untouched, its fetch mark set.
bool fetchThumbnail(DeviceInventory& inventory, const ThumbnailJob& job, const HttpRequest& request,
                    const Decoder& decode);

// Fetches that run at once; the rest wait their turn, so a flood of forged replies costs queue
// entries, not threads.
inline constexpr std::size_t kMaxFetchThreads = 32;

// The inventory's starter: runs fetchThumbnail on `pool` (at most kMaxFetchThreads threads unless
// the caller gives another) with the HTTP client's default options and `httpPort` for addresses
// without a port. False when no thread can be had to run the fetch. A copy of the pool kept by the
// caller orders the waiting fetches and drops those of removed records.
//
// Nobody waits for these threads, not even at exit, and a fetch may take the HTTP client's whole
// budget (a minute). So `inventory`, and whatever `decode` and the stores it returns reach, must
// live until the process ends: create them once and never destroy them, or leave the process with
// std::_Exit once everything that must be saved is saved.
DeviceInventory::ThumbnailStarter makeThumbnailStarter(DeviceInventory& inventory, uint16_t httpPort,
                                                       Decoder decode,
                                                       FetchPool pool = FetchPool(kMaxFetchThreads));

}  // namespace lm
