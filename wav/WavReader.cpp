#include "WavReader.h"

#include <cstring>

namespace {

constexpr uint16_t FORMAT_PCM = 1;
constexpr uint16_t FORMAT_EXTENSIBLE = 0xFFFE;

uint16_t Get16(const uint8_t* at)
{
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

uint32_t Get32(const uint8_t* at)
{
    return static_cast<uint32_t>(Get16(at)) | static_cast<uint32_t>(Get16(at + 2)) << 16;
}

class FileOwner
{
public:
    explicit FileOwner(HANDLE file) : m_file(file) {}
    ~FileOwner()
    {
        if (m_file != INVALID_HANDLE_VALUE) {
            CloseHandle(m_file);
        }
    }
    FileOwner(const FileOwner&) = delete;
    FileOwner& operator=(const FileOwner&) = delete;
    HANDLE Get() const { return m_file; }

private:
    HANDLE m_file;
};

} // namespace

DWORD WavReader::Open(const std::wstring& path)
{
    Clear();
    FileOwner file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) {
        return GetLastError();
    }
    if (static_cast<uint64_t>(size.QuadPart) > MAX_FILE_BYTES) {
        return ERROR_FILE_TOO_LARGE;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                      &got, nullptr)) {
            return GetLastError();
        }
        if (got == 0) {
            return ERROR_HANDLE_EOF; // the file shrank while it was read
        }
        done += got;
    }
    return Parse(bytes.data(), bytes.size());
}

DWORD WavReader::Parse(const uint8_t* data, size_t size)
{
    Clear();
    if (data == nullptr || size < 12 || std::memcmp(data, "RIFF", 4) != 0 ||
        std::memcmp(data + 8, "WAVE", 4) != 0) {
        return ERROR_BAD_FORMAT;
    }
    // The RIFF size may claim less than the file holds (trailing bytes are
    // ignored), never more.
    uint64_t riffEnd = uint64_t{Get32(data + 4)} + 8;
    if (riffEnd > size) {
        return ERROR_BAD_FORMAT;
    }
    size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= riffEnd) {
        const uint8_t* header = data + at;
        uint32_t chunkSize = Get32(header + 4);
        if (chunkSize > riffEnd - at - 8) {
            Clear();
            return ERROR_BAD_FORMAT;
        }
        const uint8_t* body = header + 8;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            DWORD status = ParseFormat(body, chunkSize);
            if (status != 0) {
                Clear();
                return status;
            }
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat) {
                Clear();
                return ERROR_BAD_FORMAT;
            }
            ParseData(body, chunkSize);
            return 0;
        }
        at += 8 + uint64_t{chunkSize} + (chunkSize & 1); // chunks are padded to even sizes
    }
    Clear();
    return ERROR_BAD_FORMAT; // no data chunk
}

DWORD WavReader::ParseFormat(const uint8_t* chunk, uint32_t size)
{
    if (size < 16) {
        return ERROR_BAD_FORMAT;
    }
    uint16_t tag = Get16(chunk);
    if (tag == FORMAT_EXTENSIBLE) {
        // cbSize 22, then valid bits, channel mask and the sub-format GUID
        // whose first two bytes are the plain format tag.
        if (size < 40 || Get16(chunk + 24) != FORMAT_PCM) {
            return ERROR_BAD_FORMAT;
        }
        tag = FORMAT_PCM;
    }
    uint16_t channels = Get16(chunk + 2);
    uint32_t rate = Get32(chunk + 4);
    uint16_t blockAlign = Get16(chunk + 12);
    uint16_t bits = Get16(chunk + 14);
    if (tag != FORMAT_PCM || channels == 0 || rate == 0 ||
        (bits != 16 && bits != 24 && bits != 32) || blockAlign != channels * (bits / 8)) {
        return ERROR_BAD_FORMAT;
    }
    m_channels = channels;
    m_rate = rate;
    m_bits = bits;
    return 0;
}

void WavReader::ParseData(const uint8_t* chunk, uint32_t size)
{
    const uint32_t bytesPerSample = m_bits / 8;
    // A trailing partial frame (a file cut short) is left out.
    const size_t frames = size / (bytesPerSample * m_channels);
    m_samples.resize(frames * m_channels);
    const uint8_t* next = chunk;
    for (int32_t& sample : m_samples) {
        uint32_t value = 0;
        for (uint32_t b = 0; b < bytesPerSample; ++b) {
            value |= static_cast<uint32_t>(next[b]) << (8 * (4 - bytesPerSample + b));
        }
        sample = static_cast<int32_t>(value);
        next += bytesPerSample;
    }
}

void WavReader::Clear()
{
    m_rate = 0;
    m_channels = 0;
    m_bits = 0;
    m_samples.clear();
}
