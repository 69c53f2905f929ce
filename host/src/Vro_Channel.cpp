// The channel base class: child slots, name, group and the name item of channel files.
#include "host/Vro_Channel.h"

#include <cstring>
#include <string>
#include <vector>

#include "host/EngineInterface.h"
#include "host/VroFile.h"

namespace {

// Tag of the item in which the base class keeps the channel name.
char nameTag[] = "VroChannelName";

}  // namespace

Vro_Channel::Vro_Channel() = default;

// Children are not owned: a copy is connected to the same children.
Vro_Channel::Vro_Channel(const Vro_Channel& other) = default;

Vro_Channel& Vro_Channel::operator=(const Vro_Channel& other) = default;

Vro_Channel::~Vro_Channel() = default;

void Vro_Channel::CallChannel() {}

void Vro_Channel::OneTimeInitialize() {}

void Vro_Channel::DoEvent(int, unsigned long) {}

ChannelType Vro_Channel::GetChannelType() {
    return ChannelType();
}

// The block is the name with its terminator, or empty for an unnamed channel.
bool Vro_Channel::SaveChannel(VroFileSaver& saver) {
    const unsigned long bytes = hasName_ ? static_cast<unsigned long>(name_.size() + 1) : 0;
    if (saver.SaveTag(nameTag) == 0) {
        return false;
    }
    if (saver.SaveBlockSize(bytes) == 0) {
        return false;
    }
    return saver.SaveDataToFile(hasName_ ? name_.c_str() : nullptr, bytes) != 0;
}

bool Vro_Channel::LoadChannel(VroFileLoader& loader, Vro_ChannelGroup* group) {
    if (!loader.GetInfoIfTag(nameTag)) {
        return false;
    }
    const unsigned long bytes = loader.GetSizeDataBlock(false);
    if (bytes == 0) {
        loader.SkipCurrentTag();
        SetChannelName(nullptr);
    } else {
        // The loader has checked the size against the file, so this allocation is bounded.
        std::vector<char> block(bytes);
        loader.CopyTagDataToPointer(block.data());
        // A name is one terminated text filling the whole block.
        if (block.back() != '\0' || std::strlen(block.data()) != bytes - 1) {
            return false;
        }
        SetChannelName(block.data());
    }
    if (group != nullptr) {
        SetChannelGroup(group);
    }
    return true;
}

void Vro_Channel::SetChannelInterfaceType(int) {}

Vro_Channel* Vro_Channel::GetChannelFromChannel(Vro_Channel*, ChildInfo*) {
    return nullptr;
}

unsigned long Vro_Channel::GetTimeStamp() {
    return 0;
}

void Vro_Channel::SetTimeStamp() {}

void Vro_Channel::DoDependencyInit(Vro_List*) {}

void Vro_Channel::CheckIndexNrRemoval(int) {}

Vro_Channel* Vro_Channel::GetInternalChild(int) {
    return nullptr;
}

void Vro_Channel::CheckPublicChannelInstanceRemoval(Vro_Channel*, int) {}

void Vro_Channel::AddMetaData(VroFileSaver&) {}

void Vro_Channel::SetChannelGroup(Vro_ChannelGroup* group) {
    group_ = group;
}

ChannelFeedback* Vro_Channel::GetFeedbackClass() {
    return nullptr;
}

void Vro_Channel::SetContextRenderCountName(char*) {}

ContextRenderCount* Vro_Channel::GetContextRenderCountName() {
    return nullptr;
}

int Vro_Channel::GetChildCount() const {
    return static_cast<int>(slots_.size());
}

Vro_Channel* Vro_Channel::GetChild(int index) const {
    if (index < 0 || index >= GetChildCount()) {
        return nullptr;
    }
    return slots_[static_cast<std::size_t>(index)].child;
}

const char* Vro_Channel::GetChannelName() const {
    return hasName_ ? name_.c_str() : nullptr;
}

void Vro_Channel::SetChannelName(const char* name) {
    hasName_ = name != nullptr;
    name_ = hasName_ ? name : "";
}

Vro_ChannelGroup* Vro_Channel::GetChannelGroup() const {
    return group_;
}

void Vro_Channel::SetChildCreateType(ChildCreation record, int index) {
    if (index < 0 || index >= kMaxChildSlots) {
        const std::string text =
            "Vro_Channel::SetChildCreateType: slot index " + std::to_string(index) + " refused";
        globalEngine->ShowDebugMessage(text.c_str());
        return;
    }
    const std::size_t slot = static_cast<std::size_t>(index);
    if (slot >= slots_.size()) {
        slots_.resize(slot + 1);
    }
    slots_[slot].record = record;
    slots_[slot].hasRecord = true;
    slots_[slot].child = nullptr;
}

bool Vro_Channel::ConnectChild(int index, Vro_Channel* child) {
    if (index < 0 || index >= GetChildCount()) {
        return false;
    }
    slots_[static_cast<std::size_t>(index)].child = child;
    return true;
}

void Vro_Channel::DisconnectChild(int index) {
    ConnectChild(index, nullptr);
}

const ChildCreation* Vro_Channel::GetChildCreation(int index) const {
    if (index < 0 || index >= GetChildCount()) {
        return nullptr;
    }
    const ChildSlot& slot = slots_[static_cast<std::size_t>(index)];
    return slot.hasRecord ? &slot.record : nullptr;
}
