#include "discovery/ThumbnailFetcher.h"

#include <memory>
#include <thread>

#include "discovery/ThumbnailGeometry.h"
#include "http/HttpFetcher.h"

namespace lm {

bool fetchThumbnail(DeviceInventory& inventory, const ThumbnailJob& job, const HttpRequest& request,
                    const Decoder& decode) {
    HttpFetcher fetcher;
    if (!fetcher.navigate("http://" + job.address + "/image.jpg", request)) return false;
    const auto contentType = fetcher.header("Content-Type");
    if (!contentType ||
        !ThumbnailGeometry::acceptable(fetcher.statusCode(), *contentType, fetcher.body().size()))
        return false;
    const auto store = decode(fetcher.body());
    return store && inventory.completeThumbnail(job.key, *store);
}

DeviceInventory::ThumbnailStarter makeThumbnailStarter(DeviceInventory& inventory, uint16_t httpPort,
                                                       Decoder decode) {
    HttpRequest request;
    request.port = httpPort;
    auto shared = std::make_shared<const Decoder>(std::move(decode));
    return [&inventory, request, shared](const ThumbnailJob& job) {
        try {
            std::thread([&inventory, request, shared, job] {
                // Failures are silent, and nothing may escape a thread.
                try {
                    fetchThumbnail(inventory, job, request, *shared);
                } catch (...) {
                }
            }).detach();
            return true;
        } catch (...) {  // no thread to be had, or no memory for its argument
            return false;
        }
    };
}

}  // namespace lm
