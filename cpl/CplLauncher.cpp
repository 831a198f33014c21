#include "CplLauncher.h"

#include <shellapi.h>

#include "KorvelProductKey.h"

namespace {

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring RegisteredPanel()
{
    WnRegistryKey product;
    if (KorvelProductKey::Open(product, KEY_READ) != 0) {
        return {};
    }
    wchar_t path[MAX_PATH + 1] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t); // keeps the last character a terminator
    DWORD type = 0;
    if (product.ReadValue(CplLauncher::PANEL_PATH_VALUE, path, &size, &type) != 0 ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    if (type == REG_SZ) {
        return path;
    }
    wchar_t expanded[MAX_PATH + 1] = {};
    const DWORD length = ExpandEnvironmentStringsW(path, expanded, MAX_PATH + 1);
    return length != 0 && length <= MAX_PATH + 1 ? expanded : L"";
}

std::wstring Directory(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring OwnPath()
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return path;
}

} // namespace

std::wstring CplLauncher::FindPanel(const std::wstring& launcherPath)
{
    const std::wstring registered = RegisteredPanel();
    if (!registered.empty() && IsFile(registered)) {
        return registered;
    }
    const std::wstring beside = Directory(launcherPath) + PANEL_PROGRAM;
    return IsFile(beside) ? beside : std::wstring();
}

std::wstring CplLauncher::ArgumentsOf(const wchar_t* commandLine)
{
    if (commandLine == nullptr) {
        return {};
    }
    const wchar_t* at = commandLine;
    while (*at == L' ' || *at == L'\t') {
        ++at;
    }
    if (*at == L'"') {
        ++at;
        while (*at != L'\0' && *at != L'"') {
            ++at;
        }
        if (*at == L'"') {
            ++at;
        }
    } else {
        while (*at != L'\0' && *at != L' ' && *at != L'\t') {
            ++at;
        }
    }
    while (*at == L' ' || *at == L'\t') {
        ++at;
    }
    return at;
}

DWORD CplLauncher::Start(const std::wstring& panel, const std::wstring& arguments)
{
    const std::wstring directory = Directory(panel);
    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.lpVerb = L"open";
    start.lpFile = panel.c_str();
    start.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    start.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    start.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&start)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    return 0;
}

int CplLauncher::Run(const wchar_t* commandLine)
{
    const std::wstring panel = FindPanel(OwnPath());
    const DWORD result =
        panel.empty() ? ERROR_FILE_NOT_FOUND : Start(panel, ArgumentsOf(commandLine));
    if (result == 0) {
        return 0;
    }
    if (result != ERROR_CANCELLED) {
        wchar_t text[160];
        _snwprintf(text, 159, L"The quillo control panel could not be started (error %lu).",
                   static_cast<unsigned long>(result));
        text[159] = L'\0';
        MessageBoxW(nullptr, text, L"quillo", MB_OK | MB_ICONERROR);
    }
    return 1;
}
