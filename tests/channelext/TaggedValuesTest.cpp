// Tagged settings saved into and read back from real host channel files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "LinkTestChannel.h"
#include "host/VroFile.h"

namespace {

using Block = std::vector<unsigned char>;

class TaggedItems : public ::testing::Test {
  protected:
    void SetUp() override {
        path = ::testing::TempDir() + "channelext_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".vro";
    }
    void TearDown() override { std::remove(path.c_str()); }

    std::string path;
};

// Words are 4-byte blocks, least significant byte first; texts carry their terminator; each
// reads back unchanged, and -1 reads as -1 into signed types and 4294967295 into unsigned long.
TEST_F(TaggedItems, BlocksHoldLittleEndianWordsAndTerminatedTexts) {
    char word[] = "Word", minus[] = "Minus", small[] = "Small", empty[] = "Empty", text[] = "Text";
    char minusLong[] = "MinusLong", minusUnsigned[] = "MinusUnsigned", refused[] = "";
    {
        VroFileSaver saver(path.c_str());
        ASSERT_TRUE(saver.IsOpen());
        EXPECT_TRUE(LinkTestChannel::SaveChannelValue(saver, word, 0x12345678ul));
        EXPECT_TRUE(LinkTestChannel::SaveChannelValue(saver, minus, -1));
        EXPECT_TRUE(LinkTestChannel::SaveChannelValue(saver, small, 128u));
        EXPECT_FALSE(LinkTestChannel::SaveChannelValue(saver, refused, 5));
        EXPECT_TRUE(LinkTestChannel::SaveChannelValue(saver, empty, std::string()));
        EXPECT_TRUE(LinkTestChannel::SaveChannelValue(saver, text, std::string("Kestrom")));
        EXPECT_TRUE(LinkTestChannel::SaveChannelValue(saver, minusLong, -1l));
        if (sizeof(unsigned long) > 4) {  // beyond 32 bits: refused, nothing written
            EXPECT_FALSE(LinkTestChannel::SaveChannelValue(saver, word, 0x100000000ul));
        }
        EXPECT_TRUE(LinkTestChannel::SaveChannelValue(saver, minusUnsigned, -1));
        ASSERT_TRUE(saver.Close());
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
        SCOPED_TRACE(tag);
        ASSERT_TRUE(raw.GetInfoIfTag(tag));
        ASSERT_EQ(raw.GetSizeDataBlock(false), bytes.size());
        Block block(bytes.size());
        raw.CopyTagDataToPointer(block.data());
        EXPECT_EQ(block, bytes);
    }
    EXPECT_TRUE(raw.AtEnd());

    VroFileLoader loader(path.c_str());
    unsigned long wordValue = 0, minusAsUnsignedLong = 0;
    int minusValue = 0;
    unsigned int smallValue = 0;
    long minusAsLong = 0;
    std::string emptyValue = "x", textValue;
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, word, wordValue));
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, minus, minusValue));
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, small, smallValue));
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, empty, emptyValue));
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, text, textValue));
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, minusLong, minusAsLong));
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, minusUnsigned, minusAsUnsignedLong));
    EXPECT_EQ(wordValue, 0x12345678ul);
    EXPECT_EQ(minusValue, -1);
    EXPECT_EQ(smallValue, 128u);
    EXPECT_EQ(emptyValue, "");
    EXPECT_EQ(textValue, "Kestrom");
    EXPECT_EQ(minusAsLong, -1l);
    EXPECT_EQ(minusAsUnsignedLong, 4294967295ul);
}

// An integer item of another size is skipped with false; a tag that is not the current one
// leaves value and loader as they were; texts without terminator or of size 0 read safely.
TEST_F(TaggedItems, MismatchedItemsLeaveValuesAlone) {
    char wide[] = "Wide", count[] = "Count", raw[] = "Raw", nothing[] = "Nothing";
    {
        VroFileSaver saver(path.c_str());
        const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        saver.SaveTag(wide);
        saver.SaveBlockSize(8);
        saver.SaveDataToFile(eight, 8);
        LinkTestChannel::SaveChannelValue(saver, count, 3);
        saver.SaveTag(raw);
        saver.SaveBlockSize(3);
        saver.SaveDataToFile("abc", 3);
        saver.SaveTag(nothing);
        saver.SaveBlockSize(0);
        saver.SaveDataToFile(nullptr, 0);
        ASSERT_TRUE(saver.Close());
    }
    VroFileLoader loader(path.c_str());
    int value = 42;
    std::string text = "keep";
    EXPECT_FALSE(LinkTestChannel::ReadChannelValue(loader, count, value));
    EXPECT_FALSE(LinkTestChannel::ReadChannelValue(loader, wide, value));
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(LinkTestChannel::ReadChannelValue(loader, raw, text));
    EXPECT_EQ(text, "keep");
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, count, value));
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, raw, text));
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(LinkTestChannel::ReadChannelValue(loader, nothing, text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(loader.AtEnd());
}

}  // namespace
