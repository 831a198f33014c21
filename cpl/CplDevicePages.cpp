#include "CplDevicePages.h"

CplDevicePages::CplDevicePages(KorvelCplClient& client, HINSTANCE instance)
    : m_client(client), m_instance(instance)
{
}

CplDevicePages::~CplDevicePages()
{
    Clear();
}

void CplDevicePages::Follow()
{
    std::vector<Entry> previous = std::move(m_entries);
    m_entries.clear();
    for (size_t i = 0; i < m_client.DeviceCount(); ++i) {
        const KorvelDevice* device = m_client.DeviceAt(i);
        if (device == nullptr) {
            continue;
        }
        const KorvelDeviceInfo& info = device->Info();
        auto kept = previous.end();
        for (auto it = previous.begin(); it != previous.end(); ++it) {
            if (it->page != nullptr && it->key == info.key) {
                kept = it;
                break;
            }
        }
        if (kept != previous.end()) {
            m_entries.push_back(std::move(*kept));
            previous.erase(kept);
        } else {
            m_entries.push_back(MakeEntry(info));
        }
        MatchPlugin(m_entries.back(), info);
    }
    for (Entry& gone : previous) {
        Destroy(gone);
    }
}

void CplDevicePages::Clear()
{
    for (Entry& entry : m_entries) {
        Destroy(entry);
    }
    m_entries.clear();
}

size_t CplDevicePages::PluginCount() const
{
    size_t count = 0;
    for (const Entry& entry : m_entries) {
        count += entry.plugin != nullptr ? 1 : 0;
    }
    return count;
}

const CplDevicePages::Entry* CplDevicePages::Find(const KorvelDeviceKey& key) const
{
    for (const Entry& entry : m_entries) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

std::optional<CplDevicePages::Address> CplDevicePages::AddressOf(const FormBase* page) const
{
    if (page == nullptr) {
        return std::nullopt;
    }
    for (const Entry& entry : m_entries) {
        if (entry.page.get() == page) {
            return Address{entry.key, false};
        }
        if (entry.plugin.get() == page) {
            return Address{entry.key, true};
        }
    }
    return std::nullopt;
}

FormBase* CplDevicePages::PageAt(const Address& address) const
{
    const Entry* entry = Find(address.key);
    if (entry == nullptr) {
        return nullptr;
    }
    return address.plugin ? static_cast<FormBase*>(entry->plugin.get())
                          : static_cast<FormBase*>(entry->page.get());
}

std::vector<FormMixer*> CplDevicePages::Mixers() const
{
    std::vector<FormMixer*> mixers;
    for (const Entry& entry : m_entries) {
        for (FormMixer* mixer : {entry.inputMixer.get(), entry.outputMixer.get()}) {
            if (mixer != nullptr) {
                mixers.push_back(mixer);
            }
        }
    }
    return mixers;
}

CplDevicePages::Entry CplDevicePages::MakeEntry(const KorvelDeviceInfo& info)
{
    Entry entry;
    entry.key = info.key;
    entry.inputMixer = MakeMixer(info.key, true);
    entry.outputMixer = MakeMixer(info.key, false);
    entry.page = std::make_unique<FormDevice>(m_client, m_frame, info.key.word0, info.key.word1,
                                              entry.inputMixer.get(), entry.outputMixer.get());
    entry.page->CreateForm(m_instance, m_pagePane);
    return entry;
}

std::unique_ptr<FormMixer> CplDevicePages::MakeMixer(const KorvelDeviceKey& key,
                                                     bool hardwareInputs)
{
    auto mixer = std::make_unique<FormMixer>(m_client, key.word0, key.word1, hardwareInputs);
    if (mixer->CreateMixer(m_instance, m_frame) == nullptr) {
        return nullptr; // the page's button then does nothing
    }
    return mixer;
}

void CplDevicePages::MatchPlugin(Entry& entry, const KorvelDeviceInfo& info)
{
    const bool echo = (info.flags & KORVEL_DEVICE_FLAG_ECHO) != 0;
    if (echo && entry.plugin == nullptr) {
        entry.plugin = std::make_unique<FormPlugin>(m_client, m_frame, info.key.word0,
                                                    info.key.word1);
        entry.plugin->CreateForm(m_instance, m_pagePane);
    } else if (!echo && entry.plugin != nullptr) {
        entry.plugin.reset();
    }
}

void CplDevicePages::Destroy(Entry& entry)
{
    // The page goes before the mixers it points to.
    entry.plugin.reset();
    entry.page.reset();
    entry.inputMixer.reset();
    entry.outputMixer.reset();
}
