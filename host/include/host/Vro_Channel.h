// The host's channel base class: child slots, name, group and base persistence.
#pragma once

#include <string>
#include <vector>

#include "host/ChannelType.h"
#include "host/HostTypes.h"

class VroFileSaver;
class VroFileLoader;
class Vro_ChannelGroup;

// Host objects that the base class names in its interface but never shows to channels.
class ChildInfo;
class Vro_List;
class ChannelFeedback;
class ContextRenderCount;

class HOST_API Vro_Channel {
  public:
    Vro_Channel();
    Vro_Channel(const Vro_Channel& other);
    Vro_Channel& operator=(const Vro_Channel& other);

    // The virtual operations keep this declaration order: plug-ins rely on their slots.
    virtual ~Vro_Channel();
    virtual void CallChannel();
    virtual void OneTimeInitialize();
    virtual void DoEvent(int event, unsigned long data);
    // The base reports a zero-filled record.
    virtual ChannelType GetChannelType();
    // Stores the channel name as one tagged item; true when written.
    virtual bool SaveChannel(VroFileSaver& saver);
    // Restores the name saved by SaveChannel and, when group is not null, joins that group.
    // False when the item is missing (the loader is left where it was) or malformed.
    virtual bool LoadChannel(VroFileLoader& loader, Vro_ChannelGroup* group);
    virtual void SetChannelInterfaceType(int type);
    virtual Vro_Channel* GetChannelFromChannel(Vro_Channel* channel, ChildInfo* info);
    virtual unsigned long GetTimeStamp();
    virtual void SetTimeStamp();
    virtual void DoDependencyInit(Vro_List* list);
    virtual void CheckIndexNrRemoval(int index);
    virtual Vro_Channel* GetInternalChild(int index);
    virtual void CheckPublicChannelInstanceRemoval(Vro_Channel* channel, int index);
    virtual void AddMetaData(VroFileSaver& saver);
    virtual void SetChannelGroup(Vro_ChannelGroup* group);
    virtual ChannelFeedback* GetFeedbackClass();
    virtual void SetContextRenderCountName(char* name);
    virtual ContextRenderCount* GetContextRenderCountName();

    int GetChildCount() const;
    // The connected child; null for an empty slot or an index out of range.
    Vro_Channel* GetChild(int index) const;
    // Null when the channel has no name.
    const char* GetChannelName() const;
    // Null removes the name.
    void SetChannelName(const char* name);
    Vro_ChannelGroup* GetChannelGroup() const;
    // Creates child slot index, or overwrites it (disconnecting its child), and keeps the
    // record. Slots between the old count and index are created empty, without a record.
    // A negative index or one of kMaxChildSlots or more is rejected with a debug message.
    void SetChildCreateType(ChildCreation record, int index);

    // Host side: what a scene does with the slots.
    // Connects child (not owned; null empties the slot); false when the slot does not exist.
    bool ConnectChild(int index, Vro_Channel* child);
    void DisconnectChild(int index);
    // The record of a slot; null when the slot does not exist or has no record. Valid until
    // the slots next change.
    const ChildCreation* GetChildCreation(int index) const;

    static constexpr int kMaxChildSlots = 4096;

  private:
    struct ChildSlot {
        ChildCreation record;
        bool hasRecord = false;
        Vro_Channel* child = nullptr;
    };

    std::vector<ChildSlot> slots_;
    std::string name_;
    bool hasName_ = false;
    Vro_ChannelGroup* group_ = nullptr;
};
