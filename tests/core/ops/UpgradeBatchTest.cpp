// One TFTP port for a batch upgrade: two devices served at once, each from a port of its own, each
// with its own image; a device outside the batch gets nothing.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "core/ops/UpgradeBatch.h"
#include "devsim/TftpClient.h"
#include "support/LoopbackPeer.h"

namespace lm::test {
namespace {

constexpr const char* kPc = "127.0.0.1";
constexpr int kPolls = 5000;

TEST(UpgradeBatch, ServesItsDevicesAtOnceAndNobodyElse) {
    const uint16_t port = freeUdpPort();
    UpgradeBatch batch(Timing::fast(), port);
    const Ipv4 devices[] = {*parseIpv4("127.0.0.2"), *parseIpv4("127.0.0.3")};
    for (const Ipv4 device : devices)
        batch.admit(device);
    ASSERT_TRUE(batch.openPort(kPc, nullptr));
    ASSERT_TRUE(batch.openPort(kPc, nullptr)) << "the second device finds the port open";

    // The stranger asks first; nobody answers it.
    sim::TftpResult stranger;
    std::thread strangerThread([&] {
        sim::TftpClient client(*parseIpv4("127.0.0.4"), {}, Milliseconds(1500), [] { return false; });
        stranger = client.fetch(*parseIpv4(kPc), port, "bootimage.bin");
    });
    // Images of different sizes and bytes, so that a swap or a mix would show.
    const std::string images[] = {std::string(300 * 512 + 7, 'a'), std::string(200 * 512, 'b')};
    sim::TftpResult fetched[2];
    uint16_t transferPorts[2] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            sim::TftpClient client(devices[i], {}, Milliseconds(5000), [] { return false; });
            fetched[i] = client.fetch(*parseIpv4(kPc), port, "bootimage.bin");
        });
        threads.emplace_back([&, i] {
            TftpServer server(Timing::fast(), 0);
            TftpServer::ReadRequest request;
            if (server.open(kPc) != TftpOk ||
                batch.waitForReadRequest(kPc, devices[i], kPolls, request) != TftpOk)
                return;
            server.answer(request);
            transferPorts[i] = server.localPort();
            std::size_t sent = 0;
            server.sendFile(images[i].size(),
                            [&](std::span<unsigned char> into) {
                                const auto n = std::min(into.size(), images[i].size() - sent);
                                std::copy_n(images[i].begin() + static_cast<std::ptrdiff_t>(sent), n,
                                            into.begin());
                                sent += n;
                                return n;
                            },
                            {}, {});
        });
    }
    for (auto& thread : threads)
        thread.join();
    strangerThread.join();

    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(fetched[i].complete) << fetched[i].error;
        EXPECT_EQ(fetched[i].bytes, images[i].size());
        EXPECT_EQ(fetched[i].crc32, sim::crc32(images[i]));
        EXPECT_NE(transferPorts[i], port);
    }
    EXPECT_NE(transferPorts[0], transferPorts[1]);
    EXPECT_FALSE(stranger.complete);
    EXPECT_EQ(stranger.bytes, 0u);
}

}  // namespace
}  // namespace lm::test
