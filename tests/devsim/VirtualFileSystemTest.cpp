#include <gtest/gtest.h>

#include <tuple>

#include "devsim/VirtualFileSystem.h"

namespace lm::sim {
namespace {

TEST(VirtualFileSystemTest, ResolvesPathsLikeAShell) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"/", "etc/config", "/etc/config"},        {"/var", "tmp/", "/var/tmp"},
        {"/etc", "../var//tmp/./x", "/var/tmp/x"}, {"/", "../../..", "/"},
        {"/etc", "/proc/uptime", "/proc/uptime"},  {"/etc", "", "/etc"},
    };
    for (const auto& [cwd, path, expected] : cases)
        EXPECT_EQ(VirtualFileSystem::resolve(cwd, path), expected) << cwd << " + " << path;
}

TEST(VirtualFileSystemTest, ConfigurationLivesInFlashUntilSaved) {
    VirtualFileSystem files(
        std::map<std::string, std::string>{{"/etc/config/a", "factory\n"}, {"/etc/version", "v\n"}});
    ASSERT_EQ(files.write("/etc/config/a", "changed\n"), VirtualFileSystem::Result::Ok);
    ASSERT_EQ(files.write("/var/tmp/b", "ram\n"), VirtualFileSystem::Result::Ok);
    files.restart();
    EXPECT_EQ(files.read("/etc/config/a"), "factory\n");  // never saved
    EXPECT_FALSE(files.exists("/var/tmp/b"));
    EXPECT_TRUE(files.isDirectory("/var/tmp"));

    ASSERT_EQ(files.write("/etc/config/a", "saved\n"), VirtualFileSystem::Result::Ok);
    ASSERT_EQ(files.write("/etc/config/new", "too\n"), VirtualFileSystem::Result::Ok);
    files.saveConfig();
    files.restart();
    EXPECT_EQ(files.read("/etc/config/a"), "saved\n");
    EXPECT_EQ(files.read("/etc/config/new"), "too\n");

    files.eraseConfig();
    EXPECT_EQ(files.read("/etc/config/a"), "saved\n");  // erasing the flash changes nothing until restart
    files.restart();
    EXPECT_EQ(files.read("/etc/config/a"), "factory\n");
    EXPECT_FALSE(files.exists("/etc/config/new"));
    EXPECT_EQ(files.read("/etc/version"), "v\n");
}

TEST(VirtualFileSystemTest, WritesAndMovesStayInsideTheTree) {
    VirtualFileSystem files(std::map<std::string, std::string>{{"/etc/version", "v\n"}});
    using R = VirtualFileSystem::Result;
    EXPECT_EQ(files.write("/nowhere/x", "x"), R::NotFound);
    EXPECT_EQ(files.write("/etc", "x"), R::IsDirectory);
    EXPECT_EQ(files.write("/tmp/big", std::string(VirtualFileSystem::kMaxFileBytes + 1, 'x')), R::NoSpace);
    EXPECT_EQ(files.move("/etc/version", "/tmp"), R::Ok);
    EXPECT_EQ(files.read("/tmp/version"), "v\n");
    EXPECT_EQ(files.move("/tmp/version", "/tmp/renamed"), R::Ok);
    EXPECT_EQ(files.move("/tmp/version", "/tmp/again"), R::NotFound);
    EXPECT_EQ(files.move("/tmp/renamed", "/nowhere/x"), R::NotFound);
    EXPECT_EQ(files.remove("/tmp"), R::IsDirectory);
    EXPECT_EQ(files.remove("/tmp/renamed"), R::Ok);
    for (std::size_t i = 0; files.write("/tmp/f" + std::to_string(i), "") == R::Ok; ++i)
        ASSERT_LT(i, VirtualFileSystem::kMaxFiles);
}

}  // namespace
}  // namespace lm::sim
