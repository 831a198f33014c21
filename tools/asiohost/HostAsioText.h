#pragma once
// Names of ASIO error codes, sample types and messages as hosts print them.
#include "AsioTypes.h"

#include <string>
#include <vector>

class HostAsioText
{
public:
    // "ASE_OK", "ASE_NotPresent", …; "ASIO error <n>" for an unknown code.
    static const char* ErrorName(ASIOError error);
    // "ASIOSTInt32LSB", …; "type <n>" for an unknown type.
    static const char* SampleTypeName(ASIOSampleType type);
    // UTF-16 to UTF-8 for printing, and back for command-line words.
    static std::string Narrow(const std::wstring& text);
    static std::wstring Widen(const std::string& text);
    // The Windows path of a file under Wine's Unix root (drive Z:).
    static std::wstring WindowsPath(const char* unixPath);
    // This program's command line, split as the C runtime splits it.
    static std::vector<std::wstring> CommandLineArgs();
};
