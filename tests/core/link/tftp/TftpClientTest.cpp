#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>

#include "TftpClientProgram.h"
#include "link/TftpServer.h"

namespace lm {
namespace {

using namespace std::chrono_literals;
using test::TftpClientProgram;

// Each TFTP client of the distribution that is installed fetches a file with a short last block,
// then one with an empty block after a whole number of blocks.
TEST(TftpClientTest, FetchesTheWholeFileFromTheServer) {
    std::string folder = (std::filesystem::temp_directory_path() / "tftp_client_XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const Timing timing;
    TftpServer server(timing, 0);
    ASSERT_EQ(server.Open("127.0.0.1"), TftpOk);
    int clients = 0;
    for (const auto kind : {TftpClientProgram::Kind::TftpHpa, TftpClientProgram::Kind::Curl}) {
        const auto client = TftpClientProgram::find(kind);
        if (!client) continue;
        ++clients;
        for (const std::size_t length : {5 * 512 + 123, 4 * 512}) {
            SCOPED_TRACE(std::string(client->name()) + " " + std::to_string(length));
            std::string content;
            for (std::size_t i = 0; i < length; ++i)
                content.push_back(static_cast<char>((i * 31 + i / 512) & 0xff));
            auto served = std::async(std::launch::async, [&] {
                if (const int code = server.WaitForReadRequest("127.0.0.1", 20000))
                    return TftpServer::Result{TftpServer::Outcome::ConnectionLost, code};
                std::size_t offset = 0;
                return server.SendFile(length,
                                       [&](std::span<unsigned char> into) {
                                           const auto n = std::min(into.size(), length - offset);
                                           std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(offset),
                                                       n, into.begin());
                                           offset += n;
                                           return n;
                                       },
                                       {}, {});
            });
            const auto received = folder + "/" + client->name() + std::to_string(length);
            EXPECT_TRUE(client->fetch(server.localPort(), "bootimage.bin", received, 30s));
            const auto result = served.get();
            EXPECT_EQ(result.outcome, TftpServer::Outcome::Completed) << result.code;
            EXPECT_EQ(server.requestedFile(), "bootimage.bin");
            std::ifstream in(received, std::ios::binary);
            const std::string fetched((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(fetched.size(), length);
            EXPECT_TRUE(fetched == content) << "the fetched bytes differ";
        }
    }
    std::filesystem::remove_all(folder);
    if (clients == 0)
        GTEST_SKIP() << "no TFTP client on PATH: install tftp-hpa (scripts/install-deps.sh) or curl";
}

}  // namespace
}  // namespace lm
