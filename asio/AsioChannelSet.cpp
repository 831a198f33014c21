#include "AsioChannelSet.h"

void AsioChannelSet::Append(std::unique_ptr<AsioChannel> channel)
{
    (channel->IsInput() ? m_inputs : m_outputs).push_back(std::move(channel));
}

void AsioChannelSet::AppendDummyOutputs()
{
    Append(AsioChannel::MakeDummyOutput(L"L"));
    Append(AsioChannel::MakeDummyOutput(L"R"));
}

void AsioChannelSet::Clear()
{
    // The active arrays only refer to records; the records free their buffers.
    m_activeInputs.clear();
    m_activeOutputs.clear();
    m_inputs.clear();
    m_outputs.clear();
}

void AsioChannelSet::Activate(AsioChannel* channel)
{
    (channel->IsInput() ? m_activeInputs : m_activeOutputs).push_back(channel);
}

void AsioChannelSet::ReleaseActive()
{
    ForEachActive([](AsioChannel& channel) { channel.Buffer().Release(); });
    m_activeInputs.clear();
    m_activeOutputs.clear();
}

bool AsioChannelSet::SameFormats(const Channels& a, const Channels& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i]->Info().format != b[i]->Info().format) {
            return false;
        }
    }
    return true;
}

bool AsioChannelSet::SameLayout(const AsioChannelSet& other) const
{
    return SameFormats(m_inputs, other.m_inputs) && SameFormats(m_outputs, other.m_outputs);
}

AsioChannel* AsioChannelSet::Find(bool input, long index) const
{
    const Channels& channels = input ? m_inputs : m_outputs;
    if (index < 0 || static_cast<size_t>(index) >= channels.size()) {
        return nullptr;
    }
    return channels[static_cast<size_t>(index)].get();
}
