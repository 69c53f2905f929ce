// A named group of channels.
#include "host/Vro_ChannelGroup.h"

Vro_ChannelGroup::Vro_ChannelGroup(const char* name) {
    SetGroupName(name);
}

Vro_ChannelGroup::Vro_ChannelGroup(const Vro_ChannelGroup& other) = default;

Vro_ChannelGroup& Vro_ChannelGroup::operator=(const Vro_ChannelGroup& other) = default;

Vro_ChannelGroup::~Vro_ChannelGroup() = default;

void Vro_ChannelGroup::GroupReserved1() {}
void Vro_ChannelGroup::GroupReserved2() {}
void Vro_ChannelGroup::GroupReserved3() {}
void Vro_ChannelGroup::GroupReserved4() {}
void Vro_ChannelGroup::GroupReserved5() {}
void Vro_ChannelGroup::GroupReserved6() {}
void Vro_ChannelGroup::GroupReserved7() {}
void Vro_ChannelGroup::GroupReserved8() {}
void Vro_ChannelGroup::GroupReserved9() {}
void Vro_ChannelGroup::GroupReserved10() {}
void Vro_ChannelGroup::GroupReserved11() {}
void Vro_ChannelGroup::GroupReserved12() {}
void Vro_ChannelGroup::GroupReserved13() {}
void Vro_ChannelGroup::GroupReserved14() {}
void Vro_ChannelGroup::GroupReserved15() {}
void Vro_ChannelGroup::GroupReserved16() {}
void Vro_ChannelGroup::GroupReserved17() {}
void Vro_ChannelGroup::GroupReserved18() {}
void Vro_ChannelGroup::GroupReserved19() {}
void Vro_ChannelGroup::GroupReserved20() {}
void Vro_ChannelGroup::GroupReserved21() {}

const char* Vro_ChannelGroup::GetGroupName() {
    return hasName_ ? name_.c_str() : nullptr;
}

void Vro_ChannelGroup::SetGroupName(const char* name) {
    hasName_ = name != nullptr;
    name_ = hasName_ ? name : "";
}
