// A named group of channels in the host's scene.
#pragma once

#include <string>

#include "host/HostTypes.h"

class HOST_API Vro_ChannelGroup {
  public:
    // Null leaves the group without a name.
    explicit Vro_ChannelGroup(const char* name = nullptr);
    Vro_ChannelGroup(const Vro_ChannelGroup& other);
    Vro_ChannelGroup& operator=(const Vro_ChannelGroup& other);

    // The host's operations up to slot 21; only the destructor and GetGroupName (slot 22)
    // mean anything to plug-ins.
    virtual ~Vro_ChannelGroup();
    virtual void GroupReserved1();
    virtual void GroupReserved2();
    virtual void GroupReserved3();
    virtual void GroupReserved4();
    virtual void GroupReserved5();
    virtual void GroupReserved6();
    virtual void GroupReserved7();
    virtual void GroupReserved8();
    virtual void GroupReserved9();
    virtual void GroupReserved10();
    virtual void GroupReserved11();
    virtual void GroupReserved12();
    virtual void GroupReserved13();
    virtual void GroupReserved14();
    virtual void GroupReserved15();
    virtual void GroupReserved16();
    virtual void GroupReserved17();
    virtual void GroupReserved18();
    virtual void GroupReserved19();
    virtual void GroupReserved20();
    virtual void GroupReserved21();
    // Null when the group has no name.
    virtual const char* GetGroupName();

    // Null removes the name.
    void SetGroupName(const char* name);

  private:
    std::string name_;
    bool hasName_ = false;
};
