// The typed-link mixin of a channel: declares links to the host, verifies them at every access
// and reads and writes the connected child channels' values, vectors, texts and matrices.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "channelext/ChannelHelpers.h"
#include "channelext/FormatText.h"
#include "channelext/LinkTypes.h"
#include "channelext/TaggedValues.h"
#include "host/ChannelType.h"
#include "host/ChildChannels.h"
#include "host/HostTypes.h"
#include "host/ValueAsInt.h"
#include "host/VroFile.h"
#include "host/Vro_Channel.h"

// T is the channel class that derives from Vro_Channel and from ChannelExtension<T>. It names
// itself in reports through a public `static constexpr const char* kClassName`.
//
// Link problems never throw: an index that is not below the channel's child count is shown as
// "InvalidlLinkIndex.Link[<index>]" and gives false, null or the default; an empty slot and a
// child of another type give the same without a report. Not thread-safe: one thread at a time.
template <class T>
class ChannelExtension {
  public:
    // The display-name list never grows beyond this many links: a wild index must not be able
    // to exhaust memory.
    static constexpr unsigned int kMaxLinks = 4096;

    ChannelExtension() = default;
    ChannelExtension(const ChannelExtension&) = default;
    ChannelExtension& operator=(const ChannelExtension&) = default;

    // The virtual operations keep this declaration order (slots 0 to 4).
    virtual ~ChannelExtension() = default;
    // A hook for derived channels.
    virtual void CE_ExecuteTrigger(unsigned int, void*) {}

  protected:
    // Declares the next child slot as a link of the given type. A null text is reported and
    // taken as empty; texts longer than the record's fields (79 and 99 characters) are cut.
    virtual void CreateLink(GUID type, const char* TypeName, const char* Name, int linkDirection,
                            bool flag) {
        if (TypeName == nullptr) {
            ReportFailedCheck(operationName("CreateLink").c_str(), "TypeName");
            TypeName = "";
        }
        if (Name == nullptr) {
            ReportFailedCheck(operationName("CreateLink").c_str(), "Name");
            Name = "";
        }
        if (self == nullptr) {
            ReportFailedCheck(operationName("CreateLink").c_str(), "self");
            return;
        }
        ChildCreation record;
        record.channelType.typeGuid = type;
        copyText(record.channelType.name, sizeof(record.channelType.name), TypeName);
        copyText(record.linkName, sizeof(record.linkName), Name);
        record.linkDirection = linkDirection;
        // Links are numbered in creation order.
        const int index = self->GetChildCount();
        this->SetChildLinkName(static_cast<unsigned int>(index), Name);
        record.slotIndex = flag ? -1 : index;
        self->SetChildCreateType(record, index);
    }

    // Sets the display name of a link; entries skipped on the way read "[none]". A null name is
    // reported and stored as empty; an index of kMaxLinks or more is reported and ignored.
    virtual void SetChildLinkName(unsigned int index, const char* name) {
        if (name == nullptr) {
            ReportFailedCheck(operationName("SetChildLinkName").c_str(), "name");
            name = "";
        }
        if (index >= kMaxLinks) {
            ReportFailedCheck(operationName("SetChildLinkName").c_str(), "index");
            return;
        }
        if (childLinkNames.size() <= index) {
            childLinkNames.resize(static_cast<std::size_t>(index) + 1, "[none]");
        }
        childLinkNames[index] = name;
    }

    // The display name of a link; an unnamed index gets an empty entry first. Valid until the
    // list next changes.
    virtual const char* GetChildLinkName(unsigned int index) {
        if (childLinkNames.size() <= index) {
            this->SetChildLinkName(index, "");
        }
        return index < childLinkNames.size() ? childLinkNames[index].c_str() : "";
    }

  public:
    // Must be called with the owning channel before any other operation; takes the name of
    // its channel group at this moment.
    void CE_SetSelf(Vro_Channel* owner) {
        if (owner == nullptr) {
            ReportFailedCheck(operationName("CE_SetSelf").c_str(), "self");
        }
        self = owner;
        const char* group = GetChannelGroupName(owner);
        cgrName = group != nullptr ? group : "[unknown]";
    }

    const char* CE_GetOwnName() const {
        const char* name = self != nullptr ? self->GetChannelName() : nullptr;
        return name != nullptr ? name : "[no-name]";
    }

    const char* CE_GetOwnCGRName() const { return cgrName.empty() ? "[no-name]" : cgrName.c_str(); }

    // True when a child is connected at index, whatever its type.
    bool CE_IsChildLinked(unsigned int index) {
        if (!VerifyLink(index)) {
            return false;
        }
        return self->GetChild(static_cast<int>(index)) != nullptr;
    }

    // The connected child's name as the host gives it (possibly null); null when no child.
    const char* CE_GetLinkedChildName(unsigned int index) {
        if (!VerifyLink(index)) {
            return nullptr;
        }
        lastChild = self->GetChild(static_cast<int>(index));
        return lastChild != nullptr ? lastChild->GetChannelName() : nullptr;
    }

    // Runs the connected child's CallChannel; false when no child.
    bool CE_CallChild(unsigned int index) {
        if (!VerifyLink(index)) {
            return false;
        }
        lastChild = self->GetChild(static_cast<int>(index));
        if (lastChild == nullptr) {
            return false;
        }
        lastChild->CallChannel();
        return true;
    }

    // Value links. Integer reads truncate toward zero; a value with no int (NaN, or beyond
    // the int range) cannot be read as one and gives false or the default.
    bool CE_GetValue(int& out, unsigned int index) {
        float value = 0.0f;
        if (!readValue(value, index) || !truncatesToInt(value)) {
            return false;
        }
        out = static_cast<int>(value);
        return true;
    }

    bool CE_GetValue(float& out, unsigned int index) { return readValue(out, index); }

    int CE_GetValue(unsigned int index, int def) {
        int value = def;
        CE_GetValue(value, index);
        return value;
    }

    float CE_GetValue(unsigned int index, float def) {
        float value = def;
        readValue(value, index);
        return value;
    }

    bool CE_SetValue(int value, unsigned int index) {
        return writeValue(static_cast<float>(value), index);
    }

    bool CE_SetValue(float value, unsigned int index) { return writeValue(value, index); }

    bool CE_SetValue(char value, unsigned int index) {
        return writeValue(static_cast<float>(static_cast<signed char>(value)), index);
    }

    // Value Vector links.
    bool CE_GetVector(D3DXVECTOR3& out, unsigned int index) {
        Vro_VectorChannel* child = nullptr;
        if (fetchChild(index, LinkTypes::kVectorGuid, vectorChild, child) != LinkState::Linked) {
            return false;
        }
        out = child->GetVector();
        return true;
    }

    D3DXVECTOR3 CE_GetVector(unsigned int index, const D3DXVECTOR3& def) {
        D3DXVECTOR3 vector = def;
        CE_GetVector(vector, index);
        return vector;
    }

    // (x, z) of the child's vector: the horizontal plane.
    bool CE_GetVectorXZ(TolvikMathLib::Vec2& out, unsigned int index) {
        D3DXVECTOR3 vector;
        if (!CE_GetVector(vector, index)) {
            return false;
        }
        out.x = vector.x;
        out.y = vector.z;
        return true;
    }

    TolvikMathLib::Vec2 CE_GetVectorXZ(unsigned int index, const TolvikMathLib::Vec2& def) {
        TolvikMathLib::Vec2 plane = def;
        CE_GetVectorXZ(plane, index);
        return plane;
    }

    bool CE_SetVector(const D3DXVECTOR3& v, unsigned int index) {
        Vro_VectorChannel* child = nullptr;
        if (fetchChild(index, LinkTypes::kVectorGuid, vectorChild, child) != LinkState::Linked) {
            return false;
        }
        child->SetVector(v);
        return true;
    }

    bool CE_SetVector(D3DXVECTOR3& v, unsigned int index) {
        return CE_SetVector(static_cast<const D3DXVECTOR3&>(v), index);
    }

    bool CE_SetVector(const TolvikMathLib::Vec3& v, unsigned int index) {
        const D3DXVECTOR3 vector = {v.x, v.y, v.z};
        return CE_SetVector(vector, index);
    }

    bool CE_SetVector(TolvikMathLib::Vec3& v, unsigned int index) {
        return CE_SetVector(static_cast<const TolvikMathLib::Vec3&>(v), index);
    }

    // Text links, narrow and wide (sizes count characters of the text's own kind). A text
    // that does not fit dest (size counts the terminator) gives false and leaves dest alone.
    bool CE_GetStringPointer(char** out, unsigned int index) { return getText(out, index); }

    char* CE_GetStringPointer(unsigned int index, char* def) {
        char* text = nullptr;
        if (!CE_GetStringPointer(&text, index) || text == nullptr) {
            return def;
        }
        return text;
    }

    bool CE_CopyString(char* dest, unsigned int size, unsigned int index) {
        return copyText(dest, size, index);
    }

    // Appends the child's text to out. A null text gives false, or true with nothing appended
    // when acceptNullText is set.
    bool CE_CopyString(std::string& out, unsigned int index, bool acceptNullText) {
        char* text = nullptr;
        if (!CE_GetStringPointer(&text, index)) {
            return false;
        }
        if (text == nullptr) {
            return acceptNullText;
        }
        out.append(text);
        return true;
    }

    bool CE_SetString(const char* text, unsigned int index) { return setText(text, index); }

    bool CE_SetString(const std::string& text, unsigned int index) {
        return CE_SetString(text.c_str(), index);
    }

    bool CE_GetStringPointer(wchar_t** out, unsigned int index) { return getText(out, index); }

    // Unlike the narrow form, an empty slot and a linked child's null wide text give null, not
    // def: callers tell "nothing linked" from "cannot read".
    wchar_t* CE_GetWStringPointer(unsigned int index, wchar_t* def) {
        if (!VerifyLink(index)) {
            return def;
        }
        if (self->GetChild(static_cast<int>(index)) == nullptr) {
            textChild = nullptr;
            return nullptr;
        }
        wchar_t* text = def;
        CE_GetStringPointer(&text, index);
        return text;
    }

    bool CE_CopyString(wchar_t* dest, unsigned int size, unsigned int index) {
        return copyText(dest, size, index);
    }

    // Appends the child's wide text to out; a null wide text gives false.
    bool CE_CopyString(std::wstring& out, unsigned int index) {
        wchar_t* text = nullptr;
        if (!CE_GetStringPointer(&text, index) || text == nullptr) {
            return false;
        }
        out.append(text);
        return true;
    }

    bool CE_SetString(const wchar_t* text, unsigned int index) { return setText(text, index); }

    bool CE_SetString(const std::wstring& text, unsigned int index) {
        return CE_SetString(text.c_str(), index);
    }

    // Matrix links.
    bool CE_GetMatrix(D3DXMATRIX& out, unsigned int index) {
        Vro_MatrixChannel* child = nullptr;
        if (fetchChild(index, LinkTypes::kMatrixGuid, matrixChild, child) != LinkState::Linked) {
            return false;
        }
        out = child->GetMatrix();
        return true;
    }

    // def when the link cannot be read, as every other accessor with a default.
    D3DXMATRIX CE_GetMatrix(unsigned int index, const D3DXMATRIX& def) {
        D3DXMATRIX matrix = def;
        CE_GetMatrix(matrix, index);
        return matrix;
    }

    bool CE_SetMatrix(const D3DXMATRIX& m, unsigned int index) {
        Vro_MatrixChannel* child = nullptr;
        if (fetchChild(index, LinkTypes::kMatrixGuid, matrixChild, child) != LinkState::Linked) {
            return false;
        }
        child->SetMatrix(m);
        return true;
    }

    bool CE_SetMatrix(D3DXMATRIX& m, unsigned int index) {
        return CE_SetMatrix(static_cast<const D3DXMATRIX&>(m), index);
    }

  protected:
    void CreateGenericLink(const char* Name, int linkDirection, bool flag) {
        this->CreateLink(LinkTypes::kGenericGuid, LinkTypes::kGenericText, Name, linkDirection,
                         flag);
    }
    void CreateValueLink(const char* Name, int linkDirection, bool flag) {
        this->CreateLink(LinkTypes::kValueGuid, LinkTypes::kValueText, Name, linkDirection, flag);
    }
    void CreateVectorLink(const char* Name, int linkDirection, bool flag) {
        this->CreateLink(LinkTypes::kVectorGuid, LinkTypes::kVectorText, Name, linkDirection, flag);
    }
    void CreateStringLink(const char* Name, int linkDirection, bool flag) {
        this->CreateLink(LinkTypes::kTextGuid, LinkTypes::kTextText, Name, linkDirection, flag);
    }
    void CreateMatrixLink(const char* Name, int linkDirection, bool flag) {
        this->CreateLink(LinkTypes::kMatrixGuid, LinkTypes::kMatrixText, Name, linkDirection, flag);
    }

    const std::string GetChildLinkErrorText(unsigned int index) {
        return "ChildLinkError[" + linkNameText(index) + "]";
    }

    const std::string GetChildLinkInvalidText(unsigned int index) {
        return "ChildLinkInvalid[" + linkNameText(index) + "]";
    }

    // Tagged items of a channel file. Integers are stored as 32 bits; an unsigned long or long
    // outside that range is not saved (false). Reads leave value unchanged unless they give
    // true; a long or int read sign-extends the stored 32 bits.
    static bool SaveChannelValue(VroFileSaver& saver, char* const tag, unsigned long value) {
        const std::uint32_t bits = static_cast<std::uint32_t>(value);
        return tag != nullptr && static_cast<unsigned long>(bits) == value &&
               SaveTaggedWord(saver, tag, bits);
    }
    static bool SaveChannelValue(VroFileSaver& saver, char* const tag, unsigned int value) {
        return tag != nullptr && SaveTaggedWord(saver, tag, static_cast<std::uint32_t>(value));
    }
    static bool SaveChannelValue(VroFileSaver& saver, char* const tag, long value) {
        const std::int32_t narrow = static_cast<std::int32_t>(value);
        return tag != nullptr && static_cast<long>(narrow) == value &&
               SaveTaggedWord(saver, tag, static_cast<std::uint32_t>(value));
    }
    static bool SaveChannelValue(VroFileSaver& saver, char* const tag, int value) {
        return tag != nullptr && SaveTaggedWord(saver, tag, static_cast<std::uint32_t>(value));
    }
    static bool SaveChannelValue(VroFileSaver& saver, char* const tag, std::string value) {
        return tag != nullptr && SaveTaggedText(saver, tag, value);
    }

    static bool ReadChannelValue(VroFileLoader& loader, char* const tag, unsigned long& value) {
        std::uint32_t bits = 0;
        if (tag == nullptr || !ReadTaggedWord(loader, tag, bits)) {
            return false;
        }
        value = bits;
        return true;
    }
    static bool ReadChannelValue(VroFileLoader& loader, char* const tag, long& value) {
        std::uint32_t bits = 0;
        if (tag == nullptr || !ReadTaggedWord(loader, tag, bits)) {
            return false;
        }
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    static bool ReadChannelValue(VroFileLoader& loader, char* const tag, unsigned int& value) {
        std::uint32_t bits = 0;
        if (tag == nullptr || !ReadTaggedWord(loader, tag, bits)) {
            return false;
        }
        value = bits;
        return true;
    }
    static bool ReadChannelValue(VroFileLoader& loader, char* const tag, int& value) {
        std::uint32_t bits = 0;
        if (tag == nullptr || !ReadTaggedWord(loader, tag, bits)) {
            return false;
        }
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    static bool ReadChannelValue(VroFileLoader& loader, char* const tag, std::string& value) {
        return tag != nullptr && ReadTaggedText(loader, tag, value);
    }

    Vro_Channel* self = nullptr;
    // The child each kind of access fetched last; only a record, never relied on.
    Vro_Channel* lastChild = nullptr;
    Vro_Channel* valueChild = nullptr;
    Vro_Channel* vectorChild = nullptr;
    Vro_Channel* textChild = nullptr;
    Vro_Channel* matrixChild = nullptr;
    std::vector<std::string> childLinkNames;
    std::string cgrName;

  private:
    // The second argument only selects the text's kind.
    static char* textOf(Vro_TextChannel* child, char*) { return child->GetText(); }
    static wchar_t* textOf(Vro_TextChannel* child, wchar_t*) { return child->GetWideText(); }
    static void storeText(Vro_TextChannel* child, const char* text) { child->SetText(text); }
    static void storeText(Vro_TextChannel* child, const wchar_t* text) { child->SetWideText(text); }

    // An empty slot sets *out to null; a link that cannot be read leaves it alone.
    template <class Char>
    bool getText(Char** out, unsigned int index) {
        if (out == nullptr) {
            return false;
        }
        Vro_TextChannel* child = nullptr;
        switch (fetchChild(index, LinkTypes::kTextGuid, textChild, child)) {
            case LinkState::Invalid:
                return false;
            case LinkState::Empty:
                *out = nullptr;
                return false;
            case LinkState::Linked:
                break;
        }
        *out = textOf(child, static_cast<Char*>(nullptr));
        return true;
    }

    template <class Char>
    bool copyText(Char* dest, unsigned int size, unsigned int index) {
        if (dest == nullptr || size == 0) {
            return false;
        }
        Char* text = nullptr;
        if (!getText(&text, index) || text == nullptr) {
            return false;
        }
        const std::size_t length = std::char_traits<Char>::length(text);
        if (length >= size) {
            return false;
        }
        std::char_traits<Char>::copy(dest, text, length + 1);
        return true;
    }

    template <class Char>
    bool setText(const Char* text, unsigned int index) {
        Vro_TextChannel* child = nullptr;
        if (fetchChild(index, LinkTypes::kTextGuid, textChild, child) != LinkState::Linked) {
            return false;
        }
        storeText(child, text);
        return true;
    }

    enum class LinkState { Invalid, Empty, Linked };

    static std::string operationName(const char* operation) {
        return std::string("ChannelExtension<class ") + T::kClassName + ">::" + operation;
    }

    static void copyText(char* field, std::size_t fieldSize, const char* text) {
        const std::size_t length = std::min(std::strlen(text), fieldSize - 1);
        std::memcpy(field, text, length);
        field[length] = '\0';
    }

    int childCount() const { return self != nullptr ? self->GetChildCount() : 0; }

    std::string linkNameText(unsigned int index) {
        const char* name = this->GetChildLinkName(index);
        return name != nullptr ? name : "";
    }

    bool VerifyLink(unsigned int index) const {
        const int count = childCount();
        if (count > 0 && index < static_cast<unsigned int>(count)) {
            return true;
        }
        ReportInvalidLinkIndex(index);
        return false;
    }

    bool VerifyLink(unsigned int index, const GUID& type) const {
        if (!VerifyLink(index)) {
            return false;
        }
        Vro_Channel* child = self->GetChild(static_cast<int>(index));
        if (child == nullptr) {
            return false;
        }
        if (ChannelBaseGuidMatch(child, type)) {
            return true;
        }
        ComposeLinkTypeMismatch(operationName("VerifyLink").c_str(), index);
        return false;
    }

    // Verifies the link, stores the child the host gives into member and sees it as the
    // child class of the link type. A child that reports the type but is not of that class
    // counts as a child of another type.
    template <class Child>
    LinkState fetchChild(unsigned int index, const GUID& type, Vro_Channel*& member,
                         Child*& child) {
        child = nullptr;
        if (!VerifyLink(index, type)) {
            return LinkState::Invalid;
        }
        member = self->GetChild(static_cast<int>(index));
        if (member == nullptr) {
            return LinkState::Empty;
        }
        child = dynamic_cast<Child*>(member);
        return child != nullptr ? LinkState::Linked : LinkState::Invalid;
    }

    bool readValue(float& out, unsigned int index) {
        Vro_ValueChannel* child = nullptr;
        if (fetchChild(index, LinkTypes::kValueGuid, valueChild, child) != LinkState::Linked) {
            return false;
        }
        out = child->GetValue();
        return true;
    }

    bool writeValue(float value, unsigned int index) {
        Vro_ValueChannel* child = nullptr;
        if (fetchChild(index, LinkTypes::kValueGuid, valueChild, child) != LinkState::Linked) {
            return false;
        }
        child->SetValue(value);
        return true;
    }
};
