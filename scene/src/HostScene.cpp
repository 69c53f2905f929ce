// The host scene of a channel: the table, its channels and the wiring to the links.
#include "scene/HostScene.h"

#include <cstring>
#include <stdexcept>

namespace kestrom_scene {

using namespace kestrom_links;

std::unique_ptr<Vro_Channel> standardChild(unsigned int link, Vro_ArrayTable& table) {
    if (link == kRowIndex) {
        return std::make_unique<Vro_ArrayRowIndex>(table);
    }
    const int cell = columnCell(link);
    const LinkKind kind = kLinks[link].kind;
    if (cell >= 0) {
        if (kind == LinkKind::vector) {
            return std::make_unique<Vro_ArrayColumnVector>(table, cell);
        }
        return std::make_unique<Vro_ArrayColumnValue>(table, cell);
    }
    switch (kind) {
        case LinkKind::vector:
            return std::make_unique<Vro_VectorChannel>();
        case LinkKind::text:
            return std::make_unique<Vro_TextChannel>();
        case LinkKind::value:
            break;
    }
    return std::make_unique<Vro_ValueChannel>();
}

std::string linkMismatch(const Vro_Channel& channel) {
    if (channel.GetChildCount() < static_cast<int>(kLinkCount)) {
        return "the channel has " + std::to_string(channel.GetChildCount()) + " links, expected " +
               std::to_string(kLinkCount);
    }
    for (unsigned int i = 0; i < kLinkCount; ++i) {
        const ChildCreation* record = channel.GetChildCreation(static_cast<int>(i));
        const std::string found =
            record != nullptr
                ? std::string(record->linkName, strnlen(record->linkName, sizeof record->linkName))
                : std::string();
        if (found != kLinks[i].name) {
            return "link " + std::to_string(i + 1) + ": expected \"" + kLinks[i].name +
                   "\", found \"" + found + "\"";
        }
    }
    return "";
}

HostScene::HostScene(int rows) : table_(std::make_unique<Vro_ArrayTable>(rows, kTableColumns)) {
    for (unsigned int link = 0; link < kLinkCount; ++link) {
        children_[link] = standardChild(link, *table_);
    }
    value(kNumberOfThrusters).SetValue(static_cast<float>(rows));
}

void HostScene::setRow(int row, const RowCells& cells) {
    for (int c = 0; c < kTableColumns; ++c) {
        table_->SetCell(row, c, cells[static_cast<std::size_t>(c)]);
    }
}

// The children's kinds follow the link table, unless a caller replaced one with another.
template <class C>
static C& ofKind(Vro_Channel& child, unsigned int link) {
    C* typed = dynamic_cast<C*>(&child);
    if (typed == nullptr) {
        throw std::logic_error(std::string("link \"") + kLinks[link].name +
                               "\" has no child of that kind");
    }
    return *typed;
}

Vro_ValueChannel& HostScene::value(unsigned int link) {
    return ofKind<Vro_ValueChannel>(child(link), link);
}

Vro_VectorChannel& HostScene::vector(unsigned int link) {
    return ofKind<Vro_VectorChannel>(child(link), link);
}

Vro_TextChannel& HostScene::text(unsigned int link) {
    return ofKind<Vro_TextChannel>(child(link), link);
}

void HostScene::connectAll(Vro_Channel& channel) {
    for (unsigned int link = 0; link < kLinkCount; ++link) {
        connect(channel, link);
    }
}

void HostScene::setDemand(double fwd, double swd, double rot) {
    vector(kThrustNeeded)
        .SetVector({static_cast<float>(fwd), static_cast<float>(swd), static_cast<float>(rot)});
}

}  // namespace kestrom_scene
