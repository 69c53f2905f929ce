// The typed child channels: their reported types and the values they hold.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "host/ChildChannels.h"

namespace {

// Base GUID bytes of a channel's type record, as link verification sees them.
void expectBaseGuid(Vro_Channel& channel, const unsigned char (&expected)[16]) {
    const ChannelType type = channel.GetChannelType();
    unsigned char record[132];
    std::memcpy(record, &type, sizeof(record));
    EXPECT_EQ(std::memcmp(record + 96, expected, 16), 0);
    EXPECT_EQ(std::memcmp(record + 80, expected, 16), 0);
}

}  // namespace

// Each child reports its link type's GUID; bytes written out from the GUID texts.
TEST(ChildChannelTypes, BaseGuidBytes) {
    // {BE69CCC4-CFC1-4362-AC81-767D199BBFC3}
    const unsigned char value[16] = {0xC4, 0xCC, 0x69, 0xBE, 0xC1, 0xCF, 0x62, 0x43,
                                     0xAC, 0x81, 0x76, 0x7D, 0x19, 0x9B, 0xBF, 0xC3};
    // {9D045960-EAC2-4C40-9BBF-10F32F7FA305}
    const unsigned char vector[16] = {0x60, 0x59, 0x04, 0x9D, 0xC2, 0xEA, 0x40, 0x4C,
                                      0x9B, 0xBF, 0x10, 0xF3, 0x2F, 0x7F, 0xA3, 0x05};
    // {6E6FB247-4627-4FBE-8973-48344F23881E}
    const unsigned char text[16] = {0x47, 0xB2, 0x6F, 0x6E, 0x27, 0x46, 0xBE, 0x4F,
                                    0x89, 0x73, 0x48, 0x34, 0x4F, 0x23, 0x88, 0x1E};
    // {2F605354-314D-4775-86E4-1F733550B227}
    const unsigned char matrix[16] = {0x54, 0x53, 0x60, 0x2F, 0x4D, 0x31, 0x75, 0x47,
                                      0x86, 0xE4, 0x1F, 0x73, 0x35, 0x50, 0xB2, 0x27};
    Vro_ValueChannel v;
    Vro_VectorChannel vv;
    Vro_TextChannel t;
    Vro_MatrixChannel m;
    expectBaseGuid(v, value);
    expectBaseGuid(vv, vector);
    expectBaseGuid(t, text);
    expectBaseGuid(m, matrix);
    EXPECT_STREQ(vv.GetChannelType().name, "Value Vector");
}

// Values set through the base-class pointers come back unchanged.
TEST(ChildChannelValues, SetAndGet) {
    Vro_ValueChannel value;
    EXPECT_EQ(value.GetValue(), 0.0f);
    value.SetValue(-2.7f);
    EXPECT_EQ(value.GetValue(), -2.7f);

    Vro_VectorChannel vector;
    vector.SetVector({1.0f, 2.0f, 3.0f});
    const D3DXVECTOR3 v = vector.GetVector();
    EXPECT_EQ(v.x, 1.0f);
    EXPECT_EQ(v.y, 2.0f);
    EXPECT_EQ(v.z, 3.0f);

    Vro_MatrixChannel matrix;
    D3DXMATRIX m = matrix.GetMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m.m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    m.m[7] = 4.5f;
    matrix.SetMatrix(m);
    EXPECT_EQ(matrix.GetMatrix().m[7], 4.5f);
}

// Narrow and wide texts are independent, null until set, and null again when cleared.
TEST(ChildChannelValues, TextsAreKeptApart) {
    Vro_TextChannel text;
    EXPECT_EQ(text.GetText(), nullptr);
    EXPECT_EQ(text.GetWideText(), nullptr);
    text.SetText("No errors");
    EXPECT_STREQ(text.GetText(), "No errors");
    EXPECT_EQ(text.GetWideText(), nullptr);
    text.SetWideText(L"wide");
    EXPECT_EQ(std::wcscmp(text.GetWideText(), L"wide"), 0);
    text.SetText("");
    EXPECT_STREQ(text.GetText(), "");
    text.SetText(nullptr);
    EXPECT_EQ(text.GetText(), nullptr);
    EXPECT_EQ(std::wcscmp(text.GetWideText(), L"wide"), 0);
}
