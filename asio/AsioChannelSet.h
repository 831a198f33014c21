#pragma once
// The channels of one stream format (PCM or DSD): inputs and outputs, which
// own their records, and the active inputs and outputs, which refer to those
// of them that have a buffer. An ASIO channel number is an index into inputs
// or outputs, in the order the channels were added.
#include "AsioChannel.h"

#include <cstddef>
#include <memory>
#include <vector>

class AsioChannelSet
{
public:
    // To the inputs when the channel's direction is input, else the outputs.
    // May throw std::bad_alloc.
    void Append(std::unique_ptr<AsioChannel> channel);
    // Dummy OUT L and Dummy OUT R. May throw std::bad_alloc.
    void AppendDummyOutputs();
    // Releases every buffer, deletes every record, empties all four arrays.
    void Clear();

    // Same numbers of inputs and outputs, and equal sample formats at equal
    // positions; names and identifiers do not count.
    bool SameLayout(const AsioChannelSet& other) const;

    size_t InputCount() const { return m_inputs.size(); }
    size_t OutputCount() const { return m_outputs.size(); }
    bool IsEmpty() const { return m_inputs.empty() && m_outputs.empty(); }
    // Null when `index` is not a channel number of that direction.
    AsioChannel* Find(bool input, long index) const;

    std::vector<AsioChannel*>& ActiveInputs() { return m_activeInputs; }
    std::vector<AsioChannel*>& ActiveOutputs() { return m_activeOutputs; }
    // To the active inputs when the channel is an input, else the active
    // outputs; a channel named twice is listed twice. May throw std::bad_alloc.
    void Activate(AsioChannel* channel);
    // Releases the buffers of the active channels and empties both arrays.
    void ReleaseActive();
    // Calls `visit` for every active channel, inputs first, then outputs.
    template <class Visit> void ForEachActive(Visit visit) const
    {
        for (AsioChannel* channel : m_activeInputs) {
            visit(*channel);
        }
        for (AsioChannel* channel : m_activeOutputs) {
            visit(*channel);
        }
    }

private:
    using Channels = std::vector<std::unique_ptr<AsioChannel>>;
    static bool SameFormats(const Channels& a, const Channels& b);

    Channels m_inputs;
    Channels m_outputs;
    std::vector<AsioChannel*> m_activeInputs;
    std::vector<AsioChannel*> m_activeOutputs;
};
