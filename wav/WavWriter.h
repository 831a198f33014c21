#pragma once
// Writes a canonical PCM WAV file of 32-bit integer samples: a RIFF header,
// a 16-byte fmt chunk and one data chunk. Frames are appended interleaved;
// Finish writes the RIFF and data sizes and closes the file (the destructor
// finishes too), so a file is complete and readable once finished.
//
//   WavWriter writer;
//   if (writer.Create(L"out.wav", 48000, 2) == 0) { writer.Append(frames, count); }
//   writer.Finish();
//
// Every operation returns 0 or a Win32 error code; nothing throws.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

class WavWriter
{
public:
    static constexpr uint32_t HEADER_BYTES = 44;
    static constexpr uint16_t BITS = 32;
    // A RIFF size field is 32 bits: the data chunk ends there.
    static constexpr uint64_t MAX_DATA_BYTES = 0xFFFFFFFFull - (HEADER_BYTES - 8);

    WavWriter() = default;
    ~WavWriter();

    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (or replaces) `path` for `channels` channels at `rate` Hz.
    // ERROR_ALREADY_EXISTS while a file is open; ERROR_INVALID_PARAMETER for
    // a zero rate or channel count or an empty path; else the file's error.
    DWORD Create(const std::wstring& path, uint32_t rate, uint16_t channels);
    // Appends `frames` frames of Channels() interleaved samples.
    // ERROR_INVALID_HANDLE when no file is open; ERROR_FILE_TOO_LARGE when
    // the data would pass the format's 4 GiB limit (nothing is written).
    DWORD Append(const int32_t* interleaved, size_t frames);
    // Writes the sizes and closes the file; 0 at once when none is open.
    DWORD Finish();

    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    uint32_t Rate() const { return m_rate; }
    uint16_t Channels() const { return m_channels; }
    uint64_t Frames() const;

private:
    DWORD WriteAll(const void* data, size_t bytes);
    DWORD WriteHeader(uint32_t dataBytes);
    void Close();

    HANDLE m_file = INVALID_HANDLE_VALUE;
    uint32_t m_rate = 0;
    uint16_t m_channels = 0;
    uint64_t m_dataBytes = 0;
    DWORD m_error = 0; // first write failure; Finish reports it
};
