#pragma once
// The device server's controller of one attached device. The library's
// controller does nothing on its own; a product derives from it to set the
// device up when it is attached and to follow streaming changes.
#include "KorvelDevice.h"

#include <cstdint>
#include <string>

class KorvelDeviceCtrl : public KorvelDevice
{
public:
    KorvelDeviceCtrl() = default;
    ~KorvelDeviceCtrl() override = default;

    // Called once the device handle is bound; a non-zero status makes the
    // server's enumeration drop the controller.
    DWORD OnOpened() override;

    // The serial number of the device's last entry, cut to its field.
    virtual std::wstring GetSerialNumber() const;

    // Called around each step of the streaming state machine. A failure of
    // BeforeStateChange stops a bring-up before the command is sent.
    virtual DWORD BeforeStateChange(uint32_t current, uint32_t target, uint32_t sampleRate);
    virtual void AfterStateChange(uint32_t current, uint32_t target, uint32_t sampleRate);
    virtual void StateChangeFailed(uint32_t current, uint32_t target, DWORD status);

    // The kernel driver reported new output gains for this device.
    virtual void OnMixerGainsChanged();
    // Endpoint events of kinds 1 and 2 for this device.
    virtual void OnEndpointEvent1(uint32_t value);
    virtual void OnEndpointEvent2(uint32_t renderPairIndex);

    virtual DWORD SetDsdMode(uint8_t dsd);
    // Called before every bring-up of streaming.
    virtual DWORD Prepare();
};
