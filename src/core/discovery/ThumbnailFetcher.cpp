#include "core/discovery/ThumbnailFetcher.h"

#include <memory>

#include "core/discovery/ThumbnailGeometry.h"
#include "core/http/HttpFetcher.h"

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
                                                       Decoder decode, FetchPool pool) {
    HttpRequest request;
    request.port = httpPort;
    auto shared = std::make_shared<const Decoder>(std::move(decode));
    return [&inventory, request, shared, pool](const ThumbnailJob& job) mutable {
        try {
            return pool.post(job.key, [&inventory, request, shared, job] {
                fetchThumbnail(inventory, job, request, *shared);
            });
        } catch (...) {  // no memory for the job
            return false;
        }
    };
}

}  // namespace lm
