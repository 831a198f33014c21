#include "WavWriter.h"

#include <cstring>

namespace {

void Put16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value)
{
    Put16(at, static_cast<uint16_t>(value));
    Put16(at + 2, static_cast<uint16_t>(value >> 16));
}

} // namespace

WavWriter::~WavWriter()
{
    (void)Finish();
}

DWORD WavWriter::Create(const std::wstring& path, uint32_t rate, uint16_t channels)
{
    if (IsOpen()) {
        return ERROR_ALREADY_EXISTS;
    }
    // The byte rate field is 32 bits.
    if (path.empty() || rate == 0 || channels == 0 ||
        uint64_t{rate} * channels * (BITS / 8) > 0xFFFFFFFFull) {
        return ERROR_INVALID_PARAMETER;
    }
    m_file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    m_rate = rate;
    m_channels = channels;
    m_dataBytes = 0;
    m_error = WriteHeader(0);
    if (m_error != 0) {
        DWORD error = m_error;
        Close();
        return error;
    }
    return 0;
}

DWORD WavWriter::WriteHeader(uint32_t dataBytes)
{
    uint8_t header[HEADER_BYTES] = {};
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, HEADER_BYTES - 8 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, 1); // PCM
    Put16(header + 22, m_channels);
    Put32(header + 24, m_rate);
    Put32(header + 28, m_rate * m_channels * (BITS / 8));
    Put16(header + 32, static_cast<uint16_t>(m_channels * (BITS / 8)));
    Put16(header + 34, BITS);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, dataBytes);
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(m_file, start, nullptr, FILE_BEGIN)) {
        return GetLastError();
    }
    return WriteAll(header, sizeof header);
}

DWORD WavWriter::WriteAll(const void* data, size_t bytes)
{
    const auto* next = static_cast<const uint8_t*>(data);
    while (bytes != 0) {
        DWORD chunk = bytes > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes);
        DWORD written = 0;
        if (!WriteFile(m_file, next, chunk, &written, nullptr)) {
            return GetLastError();
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        next += written;
        bytes -= written;
    }
    return 0;
}

DWORD WavWriter::Append(const int32_t* interleaved, size_t frames)
{
    if (!IsOpen()) {
        return ERROR_INVALID_HANDLE;
    }
    if (m_error != 0) {
        return m_error;
    }
    if (frames == 0) {
        return 0;
    }
    if (interleaved == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const uint64_t frameBytes = uint64_t{m_channels} * (BITS / 8);
    if (frames > (MAX_DATA_BYTES - m_dataBytes) / frameBytes) {
        return ERROR_FILE_TOO_LARGE;
    }
    // The samples are little-endian in the file as in memory on Windows.
    const uint64_t bytes = frames * frameBytes;
    m_error = WriteAll(interleaved, static_cast<size_t>(bytes));
    if (m_error == 0) {
        m_dataBytes += bytes;
    }
    return m_error;
}

DWORD WavWriter::Finish()
{
    if (!IsOpen()) {
        return 0;
    }
    DWORD status = m_error;
    if (status == 0) {
        status = WriteHeader(static_cast<uint32_t>(m_dataBytes));
    }
    if (status == 0 && !FlushFileBuffers(m_file)) {
        status = GetLastError();
    }
    Close();
    return status;
}

void WavWriter::Close()
{
    if (m_file != INVALID_HANDLE_VALUE) {
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
    m_error = 0;
}

uint64_t WavWriter::Frames() const
{
    return m_channels == 0 ? 0 : m_dataBytes / (uint64_t{m_channels} * (BITS / 8));
}
