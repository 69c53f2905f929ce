// The value, vector, text and matrix channels that a scene connects to links.
#include "host/ChildChannels.h"

#include <cstring>

namespace {

// A child reports its link type's GUID as both its type and its base.
ChannelType linkChannelType(const char* name, const GUID& guid) {
    ChannelType type;
    std::strncpy(type.name, name, sizeof(type.name) - 1);
    type.typeGuid = guid;
    type.baseGuid = guid;
    return type;
}

}  // namespace

ChannelType Vro_ValueChannel::GetChannelType() {
    return linkChannelType("Value", VroGuids::Value);
}

float Vro_ValueChannel::GetValue() {
    return value_;
}

void Vro_ValueChannel::ValueReserved21() {}

void Vro_ValueChannel::SetValue(float value) {
    value_ = value;
}

ChannelType Vro_VectorChannel::GetChannelType() {
    return linkChannelType("Value Vector", VroGuids::ValueVector);
}

D3DXVECTOR3 Vro_VectorChannel::GetVector() {
    return vector_;
}

void Vro_VectorChannel::SetVector(D3DXVECTOR3 vector) {
    vector_ = vector;
}

ChannelType Vro_TextChannel::GetChannelType() {
    return linkChannelType("Text", VroGuids::Text);
}

char* Vro_TextChannel::GetText() {
    return hasText_ ? text_.data() : nullptr;
}

void Vro_TextChannel::SetText(const char* text) {
    hasText_ = text != nullptr;
    text_ = hasText_ ? text : "";
}

void Vro_TextChannel::TextReserved22() {}
void Vro_TextChannel::TextReserved23() {}
void Vro_TextChannel::TextReserved24() {}
void Vro_TextChannel::TextReserved25() {}
void Vro_TextChannel::TextReserved26() {}

wchar_t* Vro_TextChannel::GetWideText() {
    return hasWideText_ ? wideText_.data() : nullptr;
}

void Vro_TextChannel::SetWideText(const wchar_t* text) {
    hasWideText_ = text != nullptr;
    wideText_ = hasWideText_ ? text : L"";
}

Vro_MatrixChannel::Vro_MatrixChannel() : matrix_() {
    for (int i = 0; i < 4; ++i) {
        matrix_.m[i * 4 + i] = 1.0f;
    }
}

ChannelType Vro_MatrixChannel::GetChannelType() {
    return linkChannelType("Matrix", VroGuids::Matrix);
}

void Vro_MatrixChannel::MatrixReserved20() {}

D3DXMATRIX Vro_MatrixChannel::GetMatrix() {
    return matrix_;
}

void Vro_MatrixChannel::SetMatrix(D3DXMATRIX matrix) {
    matrix_ = matrix;
}
