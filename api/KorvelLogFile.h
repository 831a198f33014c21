#pragma once
// One process's diagnostic log file, <directory>\<program>-<pid>.log, turned
// over when it reaches its size limit: the full file becomes ...-<pid>.1.log
// (the one before that .2.log, and an older one is deleted), so that at most
// three files of the process exist.
#include <windows.h>

#include <cstdint>
#include <string>

class KorvelLogFile
{
public:
    static constexpr uint64_t DEFAULT_LIMIT = 10ull * 1024 * 1024;
    static constexpr int KEPT_FILES = 3;

    KorvelLogFile() = default;
    ~KorvelLogFile() { Close(); }
    KorvelLogFile(const KorvelLogFile&) = delete;
    KorvelLogFile& operator=(const KorvelLogFile&) = delete;

    // Where the files go and how large one may grow; the file opens with
    // the first Append.
    void Configure(const std::wstring& directory, const std::wstring& baseName, uint64_t limit);
    // Appends whole lines; 0 or the Windows error of the open or write.
    DWORD Append(const std::string& text);
    void Close();
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }

    // The path of file `generation` (0: the current one).
    std::wstring PathOf(int generation) const;

private:
    DWORD Open();
    void Rotate();

    std::wstring m_directory;
    std::wstring m_baseName;
    uint64_t m_limit = DEFAULT_LIMIT;
    uint64_t m_size = 0;
    HANDLE m_file = INVALID_HANDLE_VALUE;
};
