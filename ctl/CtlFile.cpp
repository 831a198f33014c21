#include "CtlFile.h"

#include <memory>

namespace {
struct FileCloser
{
    void operator()(HANDLE file) const { CloseHandle(file); }
};
using FileOwner = std::unique_ptr<void, FileCloser>;
} // namespace

DWORD CtlFile::Read(const std::wstring& path, std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    FileOwner owner(file);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        return GetLastError();
    }
    if (size.QuadPart > MAX_BYTES) {
        return ERROR_FILE_TOO_LARGE;
    }
    text.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && !ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) {
        return GetLastError();
    }
    text.resize(read);
    return ERROR_SUCCESS;
}

DWORD CtlFile::Write(const std::wstring& path, const std::string& text)
{
    const std::wstring temporary = path + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD status = ERROR_SUCCESS;
    {
        FileOwner owner(file);
        DWORD written = 0;
        if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size() || !FlushFileBuffers(file)) {
            status = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
        }
    }
    if (status == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        status = GetLastError();
    }
    if (status != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
    }
    return status;
}
