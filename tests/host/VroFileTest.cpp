// Channel files written and read through real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/VroFile.h"
#include "host/Vro_Channel.h"
#include "host/Vro_ChannelGroup.h"
#include "portable/ScratchDirectory.h"

namespace {

using Bytes = std::vector<unsigned char>;

class VroFileTest : public ::testing::Test {
  protected:
    Bytes readBytes() const {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Three items: "ab" with the block 01 02, "empty" with no block, "text" in two pieces.
    void writeSample() const {
        VroFileSaver saver(file.c_str());
        EXPECT_TRUE(saver.SaveTag("ab") && saver.SaveBlockSize(2) &&
                    saver.SaveDataToFile("\1\2", 2) && saver.SaveTag("empty") &&
                    saver.SaveBlockSize(0) && saver.SaveDataToFile(nullptr, 0));
        EXPECT_TRUE(saver.SaveTag("text") && saver.SaveBlockSize(6) &&
                    saver.SaveDataToFile("hel", 3) && saver.SaveDataToFile("lo", 3));
        EXPECT_TRUE(saver.Close());
    }

    static void expectCleanFailure(VroFileLoader& loader) {
        char tag[] = "ab";
        unsigned char sink[8] = {};
        EXPECT_TRUE(loader.Failed() && loader.AtEnd());
        EXPECT_FALSE(loader.GetInfoIfTag(tag) || loader.SkipCurrentTag());
        EXPECT_EQ(loader.GetSizeDataBlock(false), 0u);
        loader.CopyTagDataToPointer(sink);
        EXPECT_EQ(sink[0], 0);
    }

    ScratchDirectory scratch{"kestrom-host-"};
    const std::string file = (scratch.path() / "channels.vro").string();
};

}  // namespace

// The bytes follow the documented layout; items come back in order; a wrong tag leaves the
// loader in place; skipping passes one item.
TEST_F(VroFileTest, RoundTripAndNavigation) {
    writeSample();
    const Bytes bytes = readBytes();
    ASSERT_EQ(bytes.size(), 8 + 12 + 13 + 18 + 8u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 20),
              (Bytes{'K', 'V', 'R', 'O', 1, 0, 0, 0, 2, 0, 0, 0, 'a', 'b', 2, 0, 0, 0, 1, 2}));
    EXPECT_EQ(bytes[bytes.size() - 8], 0);

    VroFileLoader loader(file.c_str());
    EXPECT_TRUE(loader.IsOpen() && !loader.Failed());
    char ab[] = "ab", a[] = "a", abc[] = "abc", empty[] = "empty", text[] = "text";
    EXPECT_FALSE(loader.GetInfoIfTag(a) || loader.GetInfoIfTag(abc) || loader.GetInfoIfTag(text));
    ASSERT_TRUE(loader.GetInfoIfTag(ab));
    EXPECT_EQ(loader.GetSizeDataBlock(false), 2u);
    unsigned char block[2] = {};
    loader.CopyTagDataToPointer(block);
    EXPECT_EQ(Bytes(block, block + 2), (Bytes{1, 2}));
    ASSERT_TRUE(loader.GetInfoIfTag(empty));
    EXPECT_TRUE(loader.SkipCurrentTag());
    ASSERT_TRUE(loader.GetInfoIfTag(text));
    std::vector<char> hello(loader.GetSizeDataBlock(false));
    loader.CopyTagDataToPointer(hello.data());
    EXPECT_STREQ(hello.data(), "hello");
    EXPECT_TRUE(loader.AtEnd() && !loader.SkipCurrentTag() && !loader.Failed());
}

// The base channel stores its name (a named one round-trips through the plug-in's channel in
// the plug-in fault tests): an unnamed channel loads back unnamed, into the given group; a name
// item that is missing or malformed (two texts, not one name) leaves the name alone.
TEST_F(VroFileTest, ChannelNames) {
    Vro_Channel unnamed, loaded;
    {
        VroFileSaver saver(file.c_str());
        EXPECT_TRUE(unnamed.SaveChannel(saver) && saver.Close());
    }
    VroFileLoader loader(file.c_str());
    Vro_ChannelGroup group("Bridge");
    loaded.SetChannelName("overwritten");
    EXPECT_TRUE(loaded.LoadChannel(loader, &group));
    EXPECT_EQ(loaded.GetChannelName(), nullptr);
    EXPECT_EQ(loaded.GetChannelGroup(), &group);
    EXPECT_TRUE(loader.AtEnd());
    EXPECT_FALSE(loaded.LoadChannel(loader, nullptr));

    loaded.SetChannelName("Aft Thrusters");
    {
        VroFileSaver saver(file.c_str());
        ASSERT_TRUE(saver.SaveTag("VroChannelName") && saver.SaveBlockSize(3) &&
                    saver.SaveDataToFile("a\0b", 3) && saver.SaveTag("Other") &&
                    saver.SaveBlockSize(1) && saver.SaveDataToFile("", 1) && saver.Close());
    }
    VroFileLoader other(file.c_str());
    EXPECT_FALSE(loaded.LoadChannel(other, nullptr));
    EXPECT_FALSE(loaded.LoadChannel(other, nullptr));  // "Other" is current and stays
    EXPECT_STREQ(loaded.GetChannelName(), "Aft Thrusters");
    char otherTag[] = "Other";
    EXPECT_TRUE(other.GetInfoIfTag(otherTag));
}

// A file cut at any byte, with any byte changed, or whose first block claims 4 GiB fails
// cleanly and offers no item; so does a missing file.
TEST_F(VroFileTest, TruncatedOrCorruptFilesFail) {
    writeSample();
    const Bytes bytes = readBytes();
    std::vector<Bytes> variants;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        variants.emplace_back(bytes.begin(), bytes.begin() + n);
        variants.push_back(bytes);
        variants.back()[n] ^= 0x40;
    }
    variants.push_back(bytes);
    std::fill(variants.back().begin() + 14, variants.back().begin() + 18, 0xFF);
    for (std::size_t i = 0; i < variants.size(); ++i) {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(variants[i].data()),
                   static_cast<std::streamsize>(variants[i].size()));
        VroFileLoader loader(file.c_str());
        SCOPED_TRACE(i);
        expectCleanFailure(loader);
    }
    VroFileLoader missing((file + ".absent").c_str());
    EXPECT_FALSE(missing.IsOpen());
    expectCleanFailure(missing);
}

// A refused tag does not spoil the file; data beyond the block or an unfinished block do, for
// good; a saver that could not open refuses everything.
TEST_F(VroFileTest, SaverRefusesMisuse) {
    {
        VroFileSaver saver(file.c_str());
        EXPECT_FALSE(saver.SaveTag(nullptr) || saver.SaveTag("") ||
                     saver.SaveTag(std::string(VroFileSaver::kMaxTagLength + 1, 't').c_str()));
        EXPECT_TRUE(saver.SaveTag("kept") && saver.SaveBlockSize(0) && saver.Close());
    }
    char kept[] = "kept";
    EXPECT_TRUE(VroFileLoader(file.c_str()).GetInfoIfTag(kept));
    for (const bool overrun : {true, false}) {
        {
            VroFileSaver saver(file.c_str());
            EXPECT_TRUE(saver.SaveTag("x") && saver.SaveBlockSize(overrun ? 2 : 4));
            if (overrun)
                EXPECT_FALSE(saver.SaveDataToFile("abc", 3) || saver.SaveDataToFile("ab", 2));
            else
                EXPECT_TRUE(saver.SaveDataToFile("ab", 2));
            EXPECT_FALSE(saver.Close());
        }
        VroFileLoader spoiled(file.c_str());
        expectCleanFailure(spoiled);
    }
    VroFileSaver nowhere((file + "/no/such/dir.vro").c_str());
    EXPECT_FALSE(nowhere.IsOpen() || nowhere.SaveTag("x") || nowhere.Close());
}
