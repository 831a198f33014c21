#pragma once
// Reads a PCM WAV file: the canonical files WavWriter writes and any RIFF
// WAVE file of 16-, 24- or 32-bit integer PCM (format tag 1, or the
// extensible tag with the PCM sub-format). Chunks other than fmt and data
// are skipped. Samples come out interleaved as 32-bit integers,
// left-justified (a 16-bit sample s reads as s << 16).
//
// Open returns 0 or a Win32 error: the file's own error,
// ERROR_BAD_FORMAT for a header that is not such a file (no RIFF/WAVE, no fmt
// before data, an unsupported format, inconsistent block alignment, a chunk
// that runs past the end of the file), ERROR_FILE_TOO_LARGE beyond
// MAX_FILE_BYTES. A failed Open leaves the reader empty.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class WavReader
{
public:
    static constexpr uint64_t MAX_FILE_BYTES = 1ull << 30;

    DWORD Open(const std::wstring& path);
    // Parses a whole file already in memory (as Open does after reading it).
    DWORD Parse(const uint8_t* data, size_t size);

    uint32_t Rate() const { return m_rate; }
    uint16_t Channels() const { return m_channels; }
    uint16_t Bits() const { return m_bits; }
    size_t Frames() const { return m_channels == 0 ? 0 : m_samples.size() / m_channels; }
    const std::vector<int32_t>& Samples() const { return m_samples; }
    // Sample of `channel` in `frame`; the caller keeps both in range.
    int32_t Sample(size_t frame, uint16_t channel) const
    {
        return m_samples[frame * m_channels + channel];
    }

private:
    DWORD ParseFormat(const uint8_t* chunk, uint32_t size);
    void ParseData(const uint8_t* chunk, uint32_t size);
    void Clear();

    uint32_t m_rate = 0;
    uint16_t m_channels = 0;
    uint16_t m_bits = 0;
    std::vector<int32_t> m_samples;
};
