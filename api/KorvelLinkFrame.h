#pragma once
// Frames of the simulator link. When a simulator namespace is configured, a
// connection opens the named pipe \\.\pipe\<namespace>\<control device name>
// (message mode) instead of the control device, and runs each control request
// as one TransactNamedPipe exchange of one request frame and one answer frame.
// All fields are little-endian u32.
#include <cstdint>

struct KorvelLinkRequestHeader
{
    uint32_t code;        // control code
    uint32_t inLength;    // number of input bytes that follow this header
    uint32_t outCapacity; // size of the caller's output buffer
};
static_assert(sizeof(KorvelLinkRequestHeader) == 12);

struct KorvelLinkAnswerHeader
{
    uint32_t status;        // 0 or the status the request completed with
    uint32_t bytesReturned; // number of output bytes that follow; never above outCapacity
};
static_assert(sizeof(KorvelLinkAnswerHeader) == 8);

// A frame larger than this, shorter than its header, or whose length differs
// from what its header says is refused, never trusted.
constexpr uint32_t KORVEL_LINK_MAX_FRAME = 64 * 1024;

// Environment variable and registry value (string, under the product's root in
// HKEY_LOCAL_MACHINE, KorvelProductKey.h) that name the simulator namespace.
// Unset: real device I/O.
constexpr const wchar_t* KORVEL_LINK_ENV_VAR = L"KORVEL_SIMULATOR";
constexpr const wchar_t* KORVEL_LINK_REG_VALUE = L"Simulator";

// The simulator's announcement pipe \\.\pipe\<namespace>\<this name>: every
// client end connected to it receives one message per device plugged, the
// simulator's stand-in for the system's device-interface arrival.
constexpr const wchar_t* KORVEL_LINK_ARRIVAL_PIPE = L"arrivals";
