// Tagged settings saved into and read back from real host channel files.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "LinkTestChannel.h"
#include "host/VroFile.h"
#include "portable/ScratchDirectory.h"

namespace {

using Block = std::vector<unsigned char>;
using LT = LinkTestChannel;

class TaggedItems : public ::testing::Test {
  protected:
    ScratchDirectory scratch{"kestrom-channelext-"};
    const std::string path = (scratch.path() / "items.vro").string();
};

// Words are 4-byte blocks, least significant byte first; texts carry their terminator; each
// reads back unchanged, and -1 reads as -1 into signed types and 4294967295 into unsigned long.
TEST_F(TaggedItems, BlocksHoldLittleEndianWordsAndTerminatedTexts) {
    char word[] = "Word", minus[] = "Minus", small[] = "Small", empty[] = "Empty", text[] = "Text";
    char minusLong[] = "MinusLong", minusUnsigned[] = "MinusUnsigned", refused[] = "";
    {
        VroFileSaver saver(path.c_str());
        EXPECT_TRUE(LT::SaveChannelValue(saver, word, 0x12345678ul) &&
                    LT::SaveChannelValue(saver, minus, -1) &&
                    LT::SaveChannelValue(saver, small, 128u));
        EXPECT_FALSE(LT::SaveChannelValue(saver, refused, 5));
        EXPECT_TRUE(LT::SaveChannelValue(saver, empty, std::string()) &&
                    LT::SaveChannelValue(saver, text, std::string("Kestrom")) &&
                    LT::SaveChannelValue(saver, minusLong, -1l));
        EXPECT_TRUE(LT::SaveChannelValue(saver, minusUnsigned, -1) && saver.Close());
    }
    const std::vector<std::pair<char*, Block>> expected = {
        {word, {0x78, 0x56, 0x34, 0x12}},
        {minus, {0xFF, 0xFF, 0xFF, 0xFF}},
        {small, {0x80, 0x00, 0x00, 0x00}},
        {empty, {0x00}},
        {text, {'K', 'e', 's', 't', 'r', 'o', 'm', 0x00}},
        {minusLong, {0xFF, 0xFF, 0xFF, 0xFF}},
        {minusUnsigned, {0xFF, 0xFF, 0xFF, 0xFF}},
    };
    VroFileLoader raw(path.c_str());
    for (const auto& [tag, bytes] : expected) {
        ASSERT_TRUE(raw.GetInfoIfTag(tag)) << tag;
        Block block(raw.GetSizeDataBlock(false));
        raw.CopyTagDataToPointer(block.data());
        EXPECT_EQ(block, bytes) << tag;
    }
    EXPECT_TRUE(raw.AtEnd());

    VroFileLoader loader(path.c_str());
    unsigned long wordValue = 0, minusAsUnsignedLong = 0;
    int minusValue = 0;
    unsigned int smallValue = 0;
    long minusAsLong = 0;
    std::string emptyValue = "x", textValue;
    EXPECT_TRUE(LT::ReadChannelValue(loader, word, wordValue) &&
                LT::ReadChannelValue(loader, minus, minusValue) &&
                LT::ReadChannelValue(loader, small, smallValue) &&
                LT::ReadChannelValue(loader, empty, emptyValue) &&
                LT::ReadChannelValue(loader, text, textValue) &&
                LT::ReadChannelValue(loader, minusLong, minusAsLong) &&
                LT::ReadChannelValue(loader, minusUnsigned, minusAsUnsignedLong));
    EXPECT_EQ(std::tie(wordValue, minusValue, smallValue, emptyValue, textValue, minusAsLong),
              std::make_tuple(0x12345678ul, -1, 128u, std::string(), std::string("Kestrom"), -1l));
    EXPECT_EQ(minusAsUnsignedLong, 4294967295ul);
}

// A long or unsigned long is saved only when it fits the item's 32 bits: on Windows, where
// both types have 32 bits, their whole range round-trips; where they have 64, the extremes
// are refused and nothing is written.
TEST_F(TaggedItems, LongExtremesAsTheirWidthAllows) {
    char lowest[] = "Lowest", highest[] = "Highest";
    const bool fits = sizeof(long) == 4 && sizeof(unsigned long) == 4;
#if defined(_WIN32)
    ASSERT_TRUE(fits);
#endif
    {
        VroFileSaver saver(path.c_str());
        EXPECT_EQ(LT::SaveChannelValue(saver, lowest, std::numeric_limits<long>::min()), fits);
        EXPECT_EQ(LT::SaveChannelValue(saver, highest, std::numeric_limits<unsigned long>::max()),
                  fits);
        EXPECT_TRUE(saver.Close());
    }
    VroFileLoader loader(path.c_str());
    long low = 0;
    unsigned long high = 0;
    EXPECT_EQ(LT::ReadChannelValue(loader, lowest, low), fits);
    EXPECT_EQ(LT::ReadChannelValue(loader, highest, high), fits);
    EXPECT_EQ(low, fits ? -2147483647l - 1 : 0);
    EXPECT_EQ(high, fits ? 4294967295ul : 0);
    EXPECT_TRUE(loader.AtEnd());
}

// An integer item of another size is skipped with false; a tag that is not the current one
// leaves value and loader as they were; texts without terminator or of size 0 read safely.
TEST_F(TaggedItems, MismatchedItemsLeaveValuesAlone) {
    char wide[] = "Wide", count[] = "Count", raw[] = "Raw", nothing[] = "Nothing";
    {
        VroFileSaver saver(path.c_str());
        ASSERT_TRUE(saver.SaveTag(wide) && saver.SaveBlockSize(8) &&
                    saver.SaveDataToFile("12345678", 8) && LT::SaveChannelValue(saver, count, 3) &&
                    saver.SaveTag(raw) && saver.SaveBlockSize(3) &&
                    saver.SaveDataToFile("abc", 3) && saver.SaveTag(nothing) &&
                    saver.SaveBlockSize(0) && saver.SaveDataToFile(nullptr, 0) && saver.Close());
    }
    VroFileLoader loader(path.c_str());
    int value = 42;
    std::string text = "keep";
    EXPECT_FALSE(LT::ReadChannelValue(loader, count, value) ||
                 LT::ReadChannelValue(loader, wide, value) ||
                 LT::ReadChannelValue(loader, raw, text));
    EXPECT_EQ(value, 42);
    EXPECT_EQ(text, "keep");
    EXPECT_TRUE(LT::ReadChannelValue(loader, count, value));
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(LT::ReadChannelValue(loader, raw, text));
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(LT::ReadChannelValue(loader, nothing, text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(loader.AtEnd());
}

}  // namespace
