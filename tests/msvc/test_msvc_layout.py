"""What the host engine, built with Microsoft's compiler, sees of the plug-in: every source
compiles for the MSVC target with warnings as errors, and the virtual slots and record offsets
that the host calls and reads are the ones below. The tables are the host's, written out here;
they are never taken from the code under test."""
import pytest

import msvc_dumps

TREE = msvc_dumps.tree_from_environment()
COMMANDS = msvc_dumps.project_commands(TREE)

# Every channel class of the plug-ins: a class the host creates through InitDLL and calls
# through Vro_Channel's slots. A new channel type adds its class here.
CHANNEL_CLASSES = ["Aco_Kestrom", "Aco_KestromOptimal"]

# Vro_Channel's slots, which every channel keeps: the host calls them by number.
VRO_CHANNEL_SLOTS = {
    0: "~Vro_Channel() [scalar deleting]",
    1: "void CallChannel()",
    2: "void OneTimeInitialize()",
    3: "void DoEvent(int, unsigned long)",
    4: "ChannelType GetChannelType()",
    5: "bool SaveChannel(VroFileSaver &)",
    6: "bool LoadChannel(VroFileLoader &, Vro_ChannelGroup *)",
    7: "void SetChannelInterfaceType(int)",
    8: "Vro_Channel *GetChannelFromChannel(Vro_Channel *, ChildInfo *)",
    9: "unsigned long GetTimeStamp()",
    10: "void SetTimeStamp()",
    11: "void DoDependencyInit(Vro_List *)",
    12: "void CheckIndexNrRemoval(int)",
    13: "Vro_Channel *GetInternalChild(int)",
    14: "void CheckPublicChannelInstanceRemoval(Vro_Channel *, int)",
    15: "void AddMetaData(VroFileSaver &)",
    16: "void SetChannelGroup(Vro_ChannelGroup *)",
    17: "ChannelFeedback *GetFeedbackClass()",
    18: "void SetContextRenderCountName(char *)",
    19: "ContextRenderCount *GetContextRenderCountName()",
}

# Aco_Kestrom's own slots: the destructor and the four operations it replaces, then its own
# ten in the host's order. Microsoft's ABI puts adjacent overloads in reverse order of
# declaration, so checkresult(forceMom&, ...) comes first only if declared second.
ACO_KESTROM_SLOTS = {
    0: "~Aco_Kestrom() [scalar deleting]",
    1: "void CallChannel()",
    5: "bool SaveChannel(VroFileSaver &)",
    6: "bool LoadChannel(VroFileLoader &, Vro_ChannelGroup *)",
    11: "void DoDependencyInit(Vro_List *)",
    20: "void cleardata()",
    21: "void ShutDownDP(std::string)",
    22: "void StartThread()",
    23: "bool ThreadFunction()",
    24: "bool checkresult(forceMom &, forceMom &, double, double)",
    25: "bool checkresult(double, double, double, double)",
    26: "double getDiff(forceMom, forceMom)",
    27: "void rescale()",
    28: "void processBarred(forceMom)",
    29: "void UpdateQuest()",
}

# The link framework's own table, beside Vro_Channel's in every channel.
CHANNEL_EXTENSION_SLOTS = {
    0: "~ChannelExtension() [scalar deleting]",
    1: "void CE_ExecuteTrigger(unsigned int, void *)",
    2: "void CreateLink(GUID, const char *, const char *, int, bool)",
    3: "void SetChildLinkName(unsigned int, const char *)",
    4: "const char *GetChildLinkName(unsigned int)",
}

# The slots of the host's classes that the links call; the others are the host's.
HOST_CLASS_SLOTS = {
    "Vro_ValueChannel": {20: "float GetValue()", 22: "void SetValue(float)"},
    "Vro_VectorChannel": {20: "D3DXVECTOR3 GetVector()", 21: "void SetVector(D3DXVECTOR3)"},
    "Vro_TextChannel": {
        20: "char *GetText()",
        21: "void SetText(const char *)",
        27: "wchar_t *GetWideText()",
        28: "void SetWideText(const wchar_t *)",
    },
    "Vro_MatrixChannel": {21: "D3DXMATRIX GetMatrix()", 22: "void SetMatrix(D3DXMATRIX)"},
    "Vro_ChannelGroup": {22: "const char *GetGroupName()"},
}

# Records the host reads and writes byte by byte: (size, {field: offset}), in bytes; no size
# where the host relies on offsets alone.
RECORDS = {
    "ChannelType": (132, {"name": 0, "typeGuid": 80, "baseGuid": 96, "hostFields": 112}),
    "ChildCreation": (264, {
        "channelType": 0,
        "slotIndex": 132,
        "hostByte0": 136,
        "hostByte1": 137,
        "linkName": 138,
        "padding": 238,
        "hostGuid": 240,
        "hostWord": 256,
        "linkDirection": 260,
    }),
    # ShowDebugMessage is called 12 bytes into the engine object.
    "EngineInterface": (None, {"hostFields": 0, "ShowDebugMessage": 12}),
    # Exchanged by value with the vector and matrix children.
    "D3DXVECTOR3": (12, {"x": 0, "y": 4, "z": 8}),
    "D3DXMATRIX": (64, {"m": 0}),
}


@pytest.fixture(scope="session")
def compiled():
    return msvc_dumps.compile_all(COMMANDS)


@pytest.fixture(scope="session")
def layouts(compiled):
    return compiled[1]


@pytest.mark.parametrize("source", sorted(COMMANDS))
def test_source_compiles_with_warnings_as_errors(compiled, source):
    status, errors = compiled[0][source]
    assert status == 0, errors
    assert "-Werror" in COMMANDS[source]["command"]


def indices(layouts, name):
    return layouts.only(layouts.indices, name)


def test_vro_channel_slots(layouts):
    assert indices(layouts, "Vro_Channel") == VRO_CHANNEL_SLOTS


def test_aco_kestrom_own_slots(layouts):
    assert indices(layouts, "Aco_Kestrom") == ACO_KESTROM_SLOTS


def test_channel_extension_slots(layouts):
    assert indices(layouts, "ChannelExtension") == CHANNEL_EXTENSION_SLOTS


@pytest.mark.parametrize("name", sorted(HOST_CLASS_SLOTS))
def test_host_class_slots_the_links_call(layouts, name):
    own = indices(layouts, name)
    assert {slot: own.get(slot) for slot in HOST_CLASS_SLOTS[name]} == HOST_CLASS_SLOTS[name]


@pytest.mark.parametrize("channel", CHANNEL_CLASSES)
def test_channel_keeps_the_host_slots_first(layouts, channel):
    # Vro_Channel is the primary base: its table is the one at the object's start, which
    # the host indexes with Vro_Channel's slot numbers.
    _, fields = layouts.only(layouts.records, channel)
    assert (0, 1, "class Vro_Channel (primary base)") in fields
    table = layouts.only(layouts.tables, ("Vro_Channel", channel))
    inherited = {slot: table.get(slot) for slot in range(1, 20)}
    assert table[0] == f"~{channel}() [scalar deleting]"
    assert inherited == {slot: VRO_CHANNEL_SLOTS[slot] for slot in range(1, 20)}
    extension = layouts.only(layouts.tables, ("ChannelExtension", channel))
    assert extension[0] == f"~{channel}() [scalar deleting]"
    assert {slot: extension.get(slot) for slot in range(1, 5)} == {
        slot: CHANNEL_EXTENSION_SLOTS[slot] for slot in range(1, 5)}


@pytest.mark.parametrize("name", sorted(RECORDS))
def test_record_layout(layouts, name):
    size, fields = layouts.only(layouts.records, name)
    expected_size, expected_fields = RECORDS[name]
    own = {text.removesuffix(" (empty)").split()[-1]: offset
           for offset, depth, text in fields if depth == 1}
    assert own == expected_fields
    assert expected_size in (None, size)
