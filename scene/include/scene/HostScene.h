// The host's side of a Kestrom channel: its thruster table (an array table of float cells),
// the table's row index and column channels, and a plain host channel for every other link,
// all owned by the scene and connected to a channel on request.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "channel/LinkTable.h"
#include "host/ArrayTable.h"
#include "host/ChildChannels.h"
#include "host/Vro_Channel.h"

namespace kestrom_scene {

// One row's cells in the table's layout (kestrom_links::TableCell).
using RowCells = std::array<float, kestrom_links::kTableColumns>;

// The child a host gives a link: the row index or a column channel of `table` for the table's
// links, else a fresh channel of the link's kind.
std::unique_ptr<Vro_Channel> standardChild(unsigned int link, Vro_ArrayTable& table);

// Empty when the channel's links carry the names of the link table, else what differs
// ("link 3: expected ..., found ...").
std::string linkMismatch(const Vro_Channel& channel);

class HostScene {
  public:
    // A table of `rows` rows, all cells 0, and a standard child for every link; "Number of
    // Thrusters" holds the row count.
    explicit HostScene(int rows);
    HostScene(const HostScene&) = delete;
    HostScene& operator=(const HostScene&) = delete;

    Vro_ArrayTable& table() { return *table_; }
    const Vro_ArrayTable& table() const { return *table_; }
    void setRow(int row, const RowCells& cells);

    // The child of a link; replaceChild puts one of the caller's in its place (before it is
    // connected), for example a channel that records what the plug-in writes.
    Vro_Channel& child(unsigned int link) { return *children_[link]; }
    template <class C>
    C& replaceChild(unsigned int link, std::unique_ptr<C> replacement) {
        C& kept = *replacement;
        children_[link] = std::move(replacement);
        return kept;
    }

    // The children of value, vector and text links by kind.
    Vro_ValueChannel& value(unsigned int link);
    Vro_VectorChannel& vector(unsigned int link);
    Vro_TextChannel& text(unsigned int link);

    void connect(Vro_Channel& channel, unsigned int link) {
        channel.ConnectChild(link, &child(link));
    }
    void connectAll(Vro_Channel& channel);

    void setDemand(double fwd, double swd, double rot);

  private:
    std::unique_ptr<Vro_ArrayTable> table_;
    std::array<std::unique_ptr<Vro_Channel>, kestrom_links::kLinkCount> children_;
};

}  // namespace kestrom_scene
