#pragma once
// The windows of each connected device: its page, its echo effect page when
// it has the effect, and its two mixer windows. They follow the device set:
// a device that stays keeps its windows as they are (an open mixer stays open
// with its faders where the user left them), a device that left loses them,
// a new one gets them.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "FormDevice.h"
#include "FormMixer.h"
#include "FormPlugin.h"
#include "KorvelCplClient.h"
#include "KorvelRecords.h"

class CplDevicePages
{
public:
    struct Entry
    {
        KorvelDeviceKey key{};
        // Made before the page, which holds them; null when one could not be made.
        std::unique_ptr<FormMixer> inputMixer;
        std::unique_ptr<FormMixer> outputMixer;
        std::unique_ptr<FormDevice> page;
        std::unique_ptr<FormPlugin> plugin; // devices with the echo effect only
    };

    // Where a page of this set is found again after the set followed the
    // devices: its device's key and which of its two pages it is.
    struct Address
    {
        KorvelDeviceKey key{};
        bool plugin = false;
    };

    CplDevicePages(KorvelCplClient& client, HINSTANCE instance);
    ~CplDevicePages();

    // Pages are created as children of `pagePane`, mixers as pop-ups owned
    // by `frame`; set before the first Follow.
    void SetWindows(HWND frame, HWND pagePane)
    {
        m_frame = frame;
        m_pagePane = pagePane;
    }

    CplDevicePages(const CplDevicePages&) = delete;
    CplDevicePages& operator=(const CplDevicePages&) = delete;

    // Makes the entries those of the client's devices, in its order.
    void Follow();
    // Destroys every window.
    void Clear();

    const std::vector<Entry>& Entries() const { return m_entries; }
    size_t PageCount() const { return m_entries.size(); }
    size_t PluginCount() const;
    const Entry* Find(const KorvelDeviceKey& key) const;
    // The address of one of this set's pages; none for any other page.
    std::optional<Address> AddressOf(const FormBase* page) const;
    // The page at `address`; null when that device or page is gone.
    FormBase* PageAt(const Address& address) const;
    // Two per device in device order: hardware inputs, then software
    // outputs; only those that could be made.
    std::vector<FormMixer*> Mixers() const;

private:
    Entry MakeEntry(const KorvelDeviceInfo& info);
    std::unique_ptr<FormMixer> MakeMixer(const KorvelDeviceKey& key, bool hardwareInputs);
    // Creates or destroys the echo page to match the device's flags.
    void MatchPlugin(Entry& entry, const KorvelDeviceInfo& info);
    static void Destroy(Entry& entry);

    KorvelCplClient& m_client;
    HINSTANCE m_instance;
    HWND m_frame = nullptr;
    HWND m_pagePane = nullptr;
    std::vector<Entry> m_entries;
};
