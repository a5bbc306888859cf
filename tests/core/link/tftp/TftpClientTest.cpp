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

class TftpClientTest : public ::testing::TestWithParam<TftpClientProgram::Kind> {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tftp_client_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
};

TEST_P(TftpClientTest, FetchesTheWholeFileFromTheServer) {
    const auto client = TftpClientProgram::find(GetParam());
    if (!client) GTEST_SKIP() << "no TFTP client on PATH: install tftp-hpa (scripts/install-deps.sh) or curl";
    const Timing timing;
    TftpServer server(timing, 0);
    ASSERT_EQ(server.Open("127.0.0.1"), TftpOk);

    // A short last block, then an empty one after a whole number of blocks.
    for (const std::size_t length : {5 * 512 + 123, 4 * 512}) {
        SCOPED_TRACE(length);
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
                                       std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(offset), n,
                                                   into.begin());
                                       offset += n;
                                       return n;
                                   },
                                   {}, {});
        });
        const auto received = folder / ("received-" + std::to_string(length));
        EXPECT_TRUE(client->fetch(server.localPort(), "bootimage.bin", received.string(), 30s))
            << client->name();
        const auto result = served.get();
        EXPECT_EQ(result.outcome, TftpServer::Outcome::Completed) << result.code;
        EXPECT_EQ(server.requestedFile(), "bootimage.bin");
        std::ifstream in(received, std::ios::binary);
        const std::string fetched((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(fetched.size(), length);
        EXPECT_TRUE(fetched == content) << "the fetched bytes differ";
    }
}

INSTANTIATE_TEST_SUITE_P(Clients, TftpClientTest,
                         ::testing::Values(TftpClientProgram::Kind::TftpHpa, TftpClientProgram::Kind::Curl),
                         [](const auto& client) {
                             return client.param == TftpClientProgram::Kind::TftpHpa ? "TftpHpa" : "Curl";
                         });

}  // namespace
}  // namespace lm
