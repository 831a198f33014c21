#pragma once
// The service's controller of one quillo device. When the device is attached
// it loads the device's WDM configuration, sends the device setup and two
// mixer routes, names the WDM endpoints (channel and pair tables), prepares
// the endpoints and arms a 3-second timer that keeps the server loop waking.
// It switches the endpoints on and off around streaming changes and saves and
// restores the output gains through the kernel driver's volume store.
#include "KorvelDeviceCtrl.h"
#include "KorvelWdmRecords.h"
#include "WnWaitableTimer.h"
#include "WnWaitableTimerCallbackInterface.h"

#include <cstdint>
#include <string>

class CustomDevice : public KorvelDeviceCtrl
{
public:
    static constexpr LONG TIMER_PERIOD_MS = 3000;
    // The endpoint selectors the service drives.
    static constexpr uint32_t ENDPOINT_SELECTOR_0 = 0;
    static constexpr uint32_t ENDPOINT_SELECTOR_2 = 2;

    // `registryRoot` is the server's root under HKEY_LOCAL_MACHINE.
    explicit CustomDevice(const std::wstring& registryRoot);
    // Cancels and closes the timer before the device handle goes.
    ~CustomDevice() override;

    // Device start; a failure makes the server drop this controller.
    DWORD OnOpened() override;

    // Endpoints on before running, off when leaving prepared or running.
    DWORD BeforeStateChange(uint32_t current, uint32_t target, uint32_t sampleRate) override;
    // Saves the output gains of every audio pair of the render list.
    void OnMixerGainsChanged() override;
    // Restores the saved output gains of one render pair.
    void OnEndpointEvent2(uint32_t renderPairIndex) override;

    // WDM configuration (0 = the analog pairs are listed).
    DWORD LoadWdmConfiguration();
    DWORD StoreWdmConfiguration();
    DWORD SendChannelTable();
    DWORD SendPairTable();
    // Request 11001: both values to 0, stored, pair table sent again. The
    // statuses are not the request's concern.
    void ResetWdmConfiguration();

    uint32_t RenderWdmConfiguration() const { return m_renderWdmConfiguration; }
    uint32_t CaptureWdmConfiguration() const { return m_captureWdmConfiguration; }
    // The pair table last built; the gain save and restore work on it.
    const KorvelWdmPairTable& PairTable() const { return m_pairTable; }

private:
    DWORD SendDeviceSetup();
    DWORD PrepareEndpoints();
    DWORD SetEndpointStates(uint32_t value);
    DWORD ArmTimer();
    void OnTimerTick(DWORD low, DWORD high);
    // The audio-function check; a failed request counts as no kind 2.
    bool HasKind2Function();
    // Saves one render pair's gains; false when the save must stop.
    bool SavePairGains(uint32_t index);

    std::wstring m_registryRoot;
    uint32_t m_renderWdmConfiguration = 0;
    uint32_t m_captureWdmConfiguration = 0;
    KorvelWdmPairTable m_pairTable{};
    WnWaitableTimer m_timer;
    WnWaitableTimerCallbackForwarderT<CustomDevice> m_timerForwarder;
};
