// Channels that a scene connects to a plug-in's links: a value, a vector, a text and a
// matrix. Each reports the base GUID of its link type, so link verification accepts it.
#pragma once

#include <string>

#include "host/ChannelType.h"
#include "host/HostTypes.h"
#include "host/Vro_Channel.h"

// Type GUIDs of the link types, in the Windows layout.
namespace VroGuids {
// {11111111-1111-1111-1111-111111111111}: a link that accepts every type.
inline constexpr GUID Any = {
    0x11111111, 0x1111, 0x1111, {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11}};
// {BE69CCC4-CFC1-4362-AC81-767D199BBFC3}
inline constexpr GUID Value = {
    0xBE69CCC4, 0xCFC1, 0x4362, {0xAC, 0x81, 0x76, 0x7D, 0x19, 0x9B, 0xBF, 0xC3}};
// {9D045960-EAC2-4C40-9BBF-10F32F7FA305}
inline constexpr GUID ValueVector = {
    0x9D045960, 0xEAC2, 0x4C40, {0x9B, 0xBF, 0x10, 0xF3, 0x2F, 0x7F, 0xA3, 0x05}};
// {6E6FB247-4627-4FBE-8973-48344F23881E}
inline constexpr GUID Text = {
    0x6E6FB247, 0x4627, 0x4FBE, {0x89, 0x73, 0x48, 0x34, 0x4F, 0x23, 0x88, 0x1E}};
// {2F605354-314D-4775-86E4-1F733550B227}
inline constexpr GUID Matrix = {
    0x2F605354, 0x314D, 0x4775, {0x86, 0xE4, 0x1F, 0x73, 0x35, 0x50, 0xB2, 0x27}};
}  // namespace VroGuids

// Holds one float, 0 when fresh.
class HOST_API Vro_ValueChannel : public Vro_Channel {
  public:
    Vro_ValueChannel() = default;
    explicit Vro_ValueChannel(float value) : value_(value) {}

    // Name "Value", type and base GUID VroGuids::Value.
    ChannelType GetChannelType() override;

    virtual float GetValue();            // slot 20
    virtual void ValueReserved21();      // slot 21
    virtual void SetValue(float value);  // slot 22

  private:
    float value_ = 0.0f;
};

// Holds one vector, (0, 0, 0) when fresh.
class HOST_API Vro_VectorChannel : public Vro_Channel {
  public:
    Vro_VectorChannel() = default;
    explicit Vro_VectorChannel(const D3DXVECTOR3& vector) : vector_(vector) {}

    // Name "Value Vector", type and base GUID VroGuids::ValueVector.
    ChannelType GetChannelType() override;

    virtual D3DXVECTOR3 GetVector();             // slot 20
    virtual void SetVector(D3DXVECTOR3 vector);  // slot 21

  private:
    D3DXVECTOR3 vector_ = {0.0f, 0.0f, 0.0f};
};

// Holds a narrow and a wide text, kept apart. A fresh channel has neither: both getters
// give null until the matching setter is given a text; a setter given null removes it.
// A returned pointer stays valid until the matching setter is next called.
class HOST_API Vro_TextChannel : public Vro_Channel {
  public:
    Vro_TextChannel() = default;
    explicit Vro_TextChannel(const char* text) { SetText(text); }

    // Name "Text", type and base GUID VroGuids::Text.
    ChannelType GetChannelType() override;

    virtual char* GetText();                        // slot 20
    virtual void SetText(const char* text);         // slot 21
    virtual void TextReserved22();                  // slot 22
    virtual void TextReserved23();                  // slot 23
    virtual void TextReserved24();                  // slot 24
    virtual void TextReserved25();                  // slot 25
    virtual void TextReserved26();                  // slot 26
    virtual wchar_t* GetWideText();                 // slot 27
    virtual void SetWideText(const wchar_t* text);  // slot 28

  private:
    std::string text_;
    bool hasText_ = false;
    std::wstring wideText_;
    bool hasWideText_ = false;
};

// Holds one matrix, the identity when fresh.
class HOST_API Vro_MatrixChannel : public Vro_Channel {
  public:
    Vro_MatrixChannel();
    explicit Vro_MatrixChannel(const D3DXMATRIX& matrix) : matrix_(matrix) {}

    // Name "Matrix", type and base GUID VroGuids::Matrix.
    ChannelType GetChannelType() override;

    virtual void MatrixReserved20();            // slot 20
    virtual D3DXMATRIX GetMatrix();             // slot 21
    virtual void SetMatrix(D3DXMATRIX matrix);  // slot 22

  private:
    D3DXMATRIX matrix_;
};
