// Channel files written and read through real files in a temporary directory.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/VroFile.h"
#include "host/Vro_Channel.h"
#include "host/Vro_ChannelGroup.h"

namespace fs = std::filesystem;

namespace {

class VroFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("kestrom_host_" + std::to_string(::getpid()) + "_" + info->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }

    static std::vector<unsigned char> readBytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void writeBytes(const std::string& file, const std::vector<unsigned char>& bytes,
                           std::size_t count) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(count));
    }

    // Three items: "ab" with the block 01 02, "empty" with no block, "text" in two pieces.
    void writeSample(const std::string& file) {
        VroFileSaver saver(file.c_str());
        ASSERT_TRUE(saver.IsOpen());
        const unsigned char ab[2] = {1, 2};
        EXPECT_NE(saver.SaveTag("ab"), 0);
        EXPECT_NE(saver.SaveBlockSize(2), 0);
        EXPECT_NE(saver.SaveDataToFile(ab, 2), 0);
        EXPECT_NE(saver.SaveTag("empty"), 0);
        EXPECT_NE(saver.SaveBlockSize(0), 0);
        EXPECT_NE(saver.SaveDataToFile(nullptr, 0), 0);
        EXPECT_NE(saver.SaveTag("text"), 0);
        EXPECT_NE(saver.SaveBlockSize(6), 0);
        EXPECT_NE(saver.SaveDataToFile("hel", 3), 0);
        EXPECT_NE(saver.SaveDataToFile("lo", 3), 0);
        EXPECT_TRUE(saver.Close());
    }

    static void expectCleanFailure(VroFileLoader& loader) {
        EXPECT_TRUE(loader.Failed());
        EXPECT_TRUE(loader.AtEnd());
        char tag[] = "ab";
        EXPECT_FALSE(loader.GetInfoIfTag(tag));
        EXPECT_EQ(loader.GetSizeDataBlock(false), 0u);
        unsigned char sink[8] = {};
        loader.CopyTagDataToPointer(sink);
        EXPECT_EQ(sink[0], 0);
        EXPECT_FALSE(loader.SkipCurrentTag());
    }

    fs::path dir_;
};

}  // namespace

// Items come back in order; a wrong tag leaves the loader in place; skipping passes one item.
TEST_F(VroFileTest, RoundTripAndNavigation) {
    const std::string file = path("sample.vro");
    writeSample(file);
    // Header, first item and end record laid out as the format document says.
    const std::vector<unsigned char> expectedStart = {'K', 'V', 'R', 'O', 1, 0, 0, 0, 2, 0,
                                                      0,   0,   'a', 'b', 2, 0, 0, 0, 1, 2};
    const std::vector<unsigned char> bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 8 + 12 + 13 + 18 + 8u);
    EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), bytes.begin()));
    EXPECT_EQ(bytes[bytes.size() - 8], 0);

    VroFileLoader loader(file.c_str());
    ASSERT_TRUE(loader.IsOpen());
    EXPECT_FALSE(loader.Failed());
    char ab[] = "ab", a[] = "a", abc[] = "abc", empty[] = "empty", text[] = "text";
    EXPECT_FALSE(loader.GetInfoIfTag(a));
    EXPECT_FALSE(loader.GetInfoIfTag(abc));
    EXPECT_FALSE(loader.GetInfoIfTag(text));
    ASSERT_TRUE(loader.GetInfoIfTag(ab));
    EXPECT_EQ(loader.GetSizeDataBlock(false), 2u);
    unsigned char block[2] = {};
    loader.CopyTagDataToPointer(block);
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[1], 2);

    ASSERT_TRUE(loader.GetInfoIfTag(empty));
    EXPECT_TRUE(loader.SkipCurrentTag());
    ASSERT_TRUE(loader.GetInfoIfTag(text));
    std::vector<char> hello(loader.GetSizeDataBlock(false));
    loader.CopyTagDataToPointer(hello.data());
    EXPECT_STREQ(hello.data(), "hello");
    EXPECT_TRUE(loader.AtEnd());
    EXPECT_FALSE(loader.SkipCurrentTag());
    EXPECT_FALSE(loader.Failed());
}

// The base channel stores its name; a named and an unnamed channel load back as saved.
TEST_F(VroFileTest, ChannelNameRoundTrip) {
    const std::string file = path("channels.vro");
    {
        Vro_Channel named, unnamed;
        named.SetChannelName("Aft Thrusters");
        VroFileSaver saver(file.c_str());
        EXPECT_TRUE(named.SaveChannel(saver));
        EXPECT_TRUE(unnamed.SaveChannel(saver));
        EXPECT_TRUE(saver.Close());
    }
    VroFileLoader loader(file.c_str());
    Vro_ChannelGroup group("Bridge");
    Vro_Channel first, second;
    second.SetChannelName("overwritten");
    EXPECT_TRUE(first.LoadChannel(loader, &group));
    EXPECT_STREQ(first.GetChannelName(), "Aft Thrusters");
    EXPECT_EQ(first.GetChannelGroup(), &group);
    EXPECT_TRUE(second.LoadChannel(loader, nullptr));
    EXPECT_EQ(second.GetChannelName(), nullptr);
    EXPECT_TRUE(loader.AtEnd());
    EXPECT_FALSE(first.LoadChannel(loader, nullptr));
}

// A channel whose name item is missing or malformed keeps its name.
TEST_F(VroFileTest, ChannelNameItemMissingOrMalformed) {
    const std::string file = path("other.vro");
    {
        VroFileSaver saver(file.c_str());
        saver.SaveTag("VroChannelName");
        saver.SaveBlockSize(3);
        saver.SaveDataToFile("a\0b", 3);  // two texts, not one name
        saver.SaveTag("Other");
        saver.SaveBlockSize(1);
        saver.SaveDataToFile("", 1);
        ASSERT_TRUE(saver.Close());
    }
    VroFileLoader loader(file.c_str());
    Vro_Channel channel;
    channel.SetChannelName("kept");
    EXPECT_FALSE(channel.LoadChannel(loader, nullptr));
    EXPECT_STREQ(channel.GetChannelName(), "kept");
    EXPECT_FALSE(channel.LoadChannel(loader, nullptr));  // "Other" is current and stays
    char other[] = "Other";
    EXPECT_TRUE(loader.GetInfoIfTag(other));
}

// A file cut at any byte, or with any byte changed, fails cleanly and offers no item.
TEST_F(VroFileTest, TruncatedOrCorruptFilesFail) {
    const std::string good = path("good.vro");
    const std::string bad = path("bad.vro");
    writeSample(good);
    const std::vector<unsigned char> bytes = readBytes(good);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        writeBytes(bad, bytes, length);
        VroFileLoader loader(bad.c_str());
        SCOPED_TRACE("truncated to " + std::to_string(length));
        expectCleanFailure(loader);
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::vector<unsigned char> changed = bytes;
        changed[i] ^= 0x40;
        writeBytes(bad, changed, changed.size());
        VroFileLoader loader(bad.c_str());
        SCOPED_TRACE("byte " + std::to_string(i) + " changed");
        expectCleanFailure(loader);
    }
    // The first block's size field (bytes 14 to 17) claiming 4 GiB.
    std::vector<unsigned char> huge = bytes;
    for (int i = 14; i < 18; ++i)
        huge[static_cast<std::size_t>(i)] = 0xFF;
    writeBytes(bad, huge, huge.size());
    VroFileLoader loader(bad.c_str());
    expectCleanFailure(loader);

    VroFileLoader missing(path("absent.vro").c_str());
    EXPECT_FALSE(missing.IsOpen());
    expectCleanFailure(missing);
}

// Calls out of order spoil the file; a refused tag does not.
TEST_F(VroFileTest, SaverRefusesMisuse) {
    const std::string file = path("misuse.vro");
    {
        VroFileSaver saver(file.c_str());
        EXPECT_EQ(saver.SaveTag(nullptr), 0);
        EXPECT_EQ(saver.SaveTag(""), 0);
        EXPECT_EQ(saver.SaveTag(std::string(VroFileSaver::kMaxTagLength + 1, 't').c_str()), 0);
        EXPECT_NE(saver.SaveTag("kept"), 0);
        EXPECT_NE(saver.SaveBlockSize(0), 0);
        EXPECT_TRUE(saver.Close());
    }
    VroFileLoader fine(file.c_str());
    char kept[] = "kept";
    EXPECT_TRUE(fine.GetInfoIfTag(kept));

    {
        VroFileSaver saver(file.c_str());
        EXPECT_NE(saver.SaveTag("x"), 0);
        EXPECT_NE(saver.SaveBlockSize(2), 0);
        EXPECT_EQ(saver.SaveDataToFile("abc", 3), 0);  // beyond the block
        EXPECT_EQ(saver.SaveDataToFile("ab", 2), 0);   // the saver has failed for good
        EXPECT_FALSE(saver.Close());
    }
    VroFileLoader spoiled(file.c_str());
    expectCleanFailure(spoiled);

    {
        VroFileSaver saver(file.c_str());
        EXPECT_NE(saver.SaveTag("x"), 0);
        EXPECT_NE(saver.SaveBlockSize(4), 0);
        EXPECT_NE(saver.SaveDataToFile("ab", 2), 0);
        EXPECT_FALSE(saver.Close());  // the block is unfinished
    }
    VroFileLoader unfinished(file.c_str());
    expectCleanFailure(unfinished);

    VroFileSaver nowhere(path("no/such/dir.vro").c_str());
    EXPECT_FALSE(nowhere.IsOpen());
    EXPECT_EQ(nowhere.SaveTag("x"), 0);
    EXPECT_FALSE(nowhere.Close());
}
