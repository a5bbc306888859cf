#include <gtest/gtest.h>

#include <filesystem>

#include "core/ops/FirmwareFolder.h"
#include "support/TempFolder.h"

namespace lm {
namespace {

namespace fs = std::filesystem;

constexpr int kZelvixXl = 0xC8;  // zelvixxl-
constexpr int kZelvix = 0xC0;    // zelvix-5206e
constexpr int kDraviel = 0xC7;   // draviel-
constexpr int kUnknownModel = 255;

// A folder of its own per test, removed with it.
class FirmwareFolderTest : public testing::Test {
protected:
    void image(const std::string& name, const std::string& bytes = "firmware") const {
        tmp_.write(name, bytes);
    }
    FirmwareFolder read() const { return readFirmwareFolder(tmp_.path()); }

    const test::TempFolder tmp_{std::string("fwdir-") +
                                testing::UnitTest::GetInstance()->current_test_info()->name()};
    const std::filesystem::path dir_{tmp_.path()};
};

TEST(FirmwareVersionText, ReadsThreeNumbersAndNothingElse) {
    const struct {
        const char* text;
        std::optional<FirmwareVersion> version;
    } cases[] = {
        {"4.10.0", FirmwareVersion{4, 10, 0}},
        {"0.0.0", FirmwareVersion{0, 0, 0}},
        {"004.002.001", FirmwareVersion{4, 2, 1}},
        {"Unknown (ARP)", std::nullopt},
        {"Unknown (probed)", std::nullopt},
        {"", std::nullopt},
        {"4.2", std::nullopt},
        {"4.2.1.7", std::nullopt},
        {"4.2.1 ", std::nullopt},
        {"-4.2.1", std::nullopt},
        {"4..1", std::nullopt},
        {"99999999999.0.0", std::nullopt},  // would not fit
        {"999999999.0.1", FirmwareVersion{999999999, 0, 1}},
    };
    for (const auto& c : cases) {
        const auto version = parseFirmwareVersion(c.text);
        ASSERT_EQ(version.has_value(), c.version.has_value()) << c.text;
        if (version) {
            EXPECT_EQ(*version, *c.version) << c.text;
        }
    }
}

TEST(FirmwareVersionText, ComparesNumberByNumber) {
    EXPECT_GT(*parseFirmwareVersion("4.10.0"), *parseFirmwareVersion("4.9.2"));
    EXPECT_GT(*parseFirmwareVersion("4.2.10"), *parseFirmwareVersion("4.2.9"));
    EXPECT_GT(*parseFirmwareVersion("10.0.0"), *parseFirmwareVersion("9.99.99"));
    EXPECT_EQ(*parseFirmwareVersion("4.02.1"), *parseFirmwareVersion("4.2.1"));
    EXPECT_EQ(versionText({4, 10, 0}), "4.10.0");
}

TEST(FirmwareImageName, FitsTheModelsPrefixWithAVersion) {
    const struct {
        int model;
        const char* name;
        const char* version;  // empty: the name does not fit
    } cases[] = {
        {kZelvixXl, "zelvixxl-4.10.0.bin", "4.10.0"},
        {kZelvixXl, "ZelvixXL-v4.3.0.BIN", "4.3.0"},
        {kZelvixXl, "zelvixxl_4.3.0.bin", ""},  // the prefix holds its hyphen
        {kZelvix, "zelvix-5206e_4.3.0.bin", "4.3.0"},
        {kZelvixXl, "zelvixxl-4.3.0.bin.part", ""},
        {kZelvixXl, "zelvixxl-4.3.bin", ""},
        {kZelvixXl, "zelvixxl-latest.bin", ""},
        {kZelvixXl, "zelvixxl-4.3.0-beta.bin", ""},
        {kZelvixXl, "old-zelvixxl-4.3.0.bin", ""},  // the prefix starts the name
        {kZelvixXl, "zelvix-5206e-4.3.0.bin", ""},
        {kZelvixXl, "dravielxl-4.3.0.bin", ""},
        {kZelvix, "zelvix-5206e-4.3.0.bin", "4.3.0"},
        {kZelvix, "zelvixxl-4.3.0.bin", ""},
        {kDraviel, "draviel-3.9.12.bin", "3.9.12"},
        {kDraviel, "draviel6-5407-3.9.12.bin", ""},  // another family that starts alike
        {kDraviel, "dravielxl-3.9.12.bin", ""},
        {0xC3, "pellmandor-54074.1.7.bin", "4.1.7"},  // its files carry no hyphen after the prefix
        {kUnknownModel, "x.bin", ""},
        {kUnknownModel, "zelvixxl-4.3.0.bin", ""},
    };
    for (const auto& c : cases) {
        const auto version = imageVersion(c.name, firmwareFamily(c.model));
        EXPECT_EQ(version ? versionText(*version) : "", c.version) << c.model << " " << c.name;
    }
}

TEST_F(FirmwareFolderTest, ChoosesTheNewestImageNewerThanTheDevice) {
    image("zelvixxl-4.9.2.bin");
    image("zelvixxl-4.10.0.bin");
    image("zelvixxl-4.2.1.bin");
    image("dravielxl-9.0.0.bin");
    image("zelvix-5206e-4.3.0.bin");
    image("zelvix-5206e-4.3.0.BIN");  // same version twice
    image("zelvix-5206e-4.2.1.bin");
    image("draviel-3.9.12.bin");
    image("README.txt");
    image("zelvixxl-9.9.9.bin", "");                      // empty: no firmware
    fs::create_directories(dir_ / "zelvixxl-8.0.0.bin");  // a folder, not an image
    const FirmwareFolder folder = read();
    ASSERT_EQ(folder.error, "");

    const struct {
        int model;
        const char* deviceVersion;
        const char* image;  // empty: skipped
        const char* reason;
    } cases[] = {
        {kZelvixXl, "4.2.1", "zelvixxl-4.10.0.bin", ""},
        {kZelvixXl, "4.9.2", "zelvixxl-4.10.0.bin", ""},
        {kZelvixXl, "4.10.0", "", "already at 4.10.0"},
        {kZelvixXl, "5.0.0", "", "its 5.0.0 is newer than the newest image, zelvixxl-4.10.0.bin"},
        {kZelvixXl, "Unknown (ARP)", "",
         "its firmware version \"Unknown (ARP)\" cannot be read, so no image counts as newer"},
        {kZelvixXl, "", "", "its firmware version \"\" cannot be read, so no image counts as newer"},
        {kZelvix, "4.2.1", "",
         "two images of version 4.3.0: zelvix-5206e-4.3.0.BIN and zelvix-5206e-4.3.0.bin; keep one"},
        {kZelvix, "4.3.0", "", "already at 4.3.0"},
        {kDraviel, "3.9.2", "draviel-3.9.12.bin", ""},
        {0xC1, "1.0.0", "", "no image for Zelvix (zelvix-5407*.bin with a version) in the folder"},
        {kUnknownModel, "1.0.0", "", "its model is not known, so no image fits it"},
    };
    for (const auto& c : cases) {
        const FolderChoice choice = chooseFolderImage(folder, c.model, c.deviceVersion);
        EXPECT_EQ(choice.image ? choice.image->name : "", c.image) << c.model << " " << c.deviceVersion;
        EXPECT_EQ(choice.skipReason, c.reason) << c.model << " " << c.deviceVersion;
        if (choice.image) {
            EXPECT_EQ(choice.image->path, (dir_ / c.image).string());
        }
    }
}

TEST_F(FirmwareFolderTest, OffersTheModelsImagesNewestFirst) {
    image("zelvixxl-4.9.2.bin");
    image("zelvixxl-4.10.0.bin");
    image("ZELVIXXL-4.10.0.bin");
    image("zelvixxl-4.2.1.bin");
    image("zelvix-5206e-5.0.0.bin");
    std::vector<std::string> names;
    for (const FirmwareImage& each : fittingImages(read(), kZelvixXl))
        names.push_back(each.name);
    EXPECT_EQ(names, (std::vector<std::string>{"ZELVIXXL-4.10.0.bin", "zelvixxl-4.10.0.bin",
                                               "zelvixxl-4.9.2.bin", "zelvixxl-4.2.1.bin"}));
    EXPECT_TRUE(fittingImages(read(), kUnknownModel).empty());
}

TEST_F(FirmwareFolderTest, AFolderThatCannotBeReadSkipsEveryDeviceWithItsReason) {
    const std::string missing = (dir_ / "missing").string();
    const FirmwareFolder gone = readFirmwareFolder(missing);
    EXPECT_EQ(gone.error.rfind("cannot read the folder " + missing + ": ", 0), 0u) << gone.error;
    EXPECT_TRUE(gone.files.empty());
    const FolderChoice choice = chooseFolderImage(gone, kZelvixXl, "1.0.0");
    EXPECT_FALSE(choice.image);
    EXPECT_EQ(choice.skipReason, gone.error);

    image("zelvixxl-4.10.0.bin");
    const FirmwareFolder file = readFirmwareFolder((dir_ / "zelvixxl-4.10.0.bin").string());
    EXPECT_EQ(file.error, (dir_ / "zelvixxl-4.10.0.bin").string() + " is not a folder");
    EXPECT_FALSE(chooseFolderImage(file, kZelvixXl, "1.0.0").image);
}

}  // namespace
}  // namespace lm
