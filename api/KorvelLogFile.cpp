#include "KorvelLogFile.h"

void KorvelLogFile::Configure(const std::wstring& directory, const std::wstring& baseName,
                              uint64_t limit)
{
    Close();
    m_directory = directory;
    m_baseName = baseName;
    m_limit = limit;
}

std::wstring KorvelLogFile::PathOf(int generation) const
{
    std::wstring path = m_directory + L"\\" + m_baseName;
    if (generation > 0) {
        path += L"." + std::to_wstring(generation);
    }
    return path + L".log";
}

DWORD KorvelLogFile::Append(const std::string& text)
{
    if (!IsOpen()) {
        const DWORD opened = Open();
        if (opened != ERROR_SUCCESS) {
            return opened;
        }
    }
    if (m_size > 0 && m_size + text.size() > m_limit) {
        Rotate();
        const DWORD opened = Open();
        if (opened != ERROR_SUCCESS) {
            return opened;
        }
    }
    DWORD written = 0;
    if (!WriteFile(m_file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return GetLastError();
    }
    m_size += written;
    return ERROR_SUCCESS;
}

void KorvelLogFile::Close()
{
    if (IsOpen()) {
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
}

DWORD KorvelLogFile::Open()
{
    // The folder and its parent (%ProgramData%\quillo\logs) may not exist yet.
    const size_t parent = m_directory.rfind(L'\\');
    if (parent != std::wstring::npos) {
        CreateDirectoryW(m_directory.substr(0, parent).c_str(), nullptr);
    }
    CreateDirectoryW(m_directory.c_str(), nullptr);
    // Shared for reading and deleting: a collector copies it while it grows.
    m_file = CreateFileW(PathOf(0).c_str(), FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    LARGE_INTEGER size{};
    m_size = GetFileSizeEx(m_file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    return ERROR_SUCCESS;
}

void KorvelLogFile::Rotate()
{
    Close();
    DeleteFileW(PathOf(KEPT_FILES - 1).c_str());
    for (int generation = KEPT_FILES - 2; generation >= 0; --generation) {
        MoveFileExW(PathOf(generation).c_str(), PathOf(generation + 1).c_str(),
                    MOVEFILE_REPLACE_EXISTING);
    }
    m_size = 0;
}
