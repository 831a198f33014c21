// cplselect.exe: walks the page tree of a running control panel from outside,
// for the screenshot run. The panel is found by its window class; the tree's
// item texts live in the panel's process, so they are read through a buffer
// allocated there.
//
//   cplselect list      prints "<n> <text>" for every item, depth first
//   cplselect <n>       selects item n, raises the panel and prints its text
//   cplselect status    prints the status bar's three panes, one a line
//   cplselect about     opens the about box (posted: returns at once)
//   cplselect dismiss   closes the about box with its OK button
//   cplselect mixer inputs|outputs
//                       opens the first device's hardware inputs or software
//                       outputs mixer with its device page's button and waits
//                       until it is shown (built from the device's pins)
//   cplselect mixer close   closes the open mixer windows
//   cplselect mixer shown   prints the shown mixer windows (exit 1: none)
//   cplselect apply     clicks the Sample Rate page's Apply (posted)
//   cplselect ping      prints how long the panel's window took to answer
//                       a message (up to 60 s): how long it was unresponsive
// Exit codes: 0 done, 1 no panel or no such item, 2 usage.
#include "PanelWindow.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr size_t TEXT_CHARS = 128;

// Items in the order a reader sees them: each item, then its children.
void Collect(HWND tree, HTREEITEM item, std::vector<HTREEITEM>& items)
{
    for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        items.push_back(item);
        Collect(tree, TreeView_GetChild(tree, item), items);
    }
}

// A request record and a text buffer in the panel's process, for the
// control messages that take pointers.
class RemoteText
{
public:
    explicit RemoteText(HWND control)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(control, &pid);
        m_process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process != nullptr) {
            m_remote =
                VirtualAllocEx(m_process, nullptr, sizeof(TVITEMW) + TEXT_CHARS * sizeof(wchar_t),
                               MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~RemoteText()
    {
        if (m_remote != nullptr) {
            VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
        }
        if (m_process != nullptr) {
            CloseHandle(m_process);
        }
    }
    RemoteText(const RemoteText&) = delete;
    RemoteText& operator=(const RemoteText&) = delete;

    std::wstring TreeItem(HWND tree, HTREEITEM item) const
    {
        if (m_remote == nullptr) {
            return L"?";
        }
        TVITEMW request{};
        request.mask = TVIF_TEXT;
        request.hItem = item;
        request.pszText = RemoteBuffer();
        request.cchTextMax = static_cast<int>(TEXT_CHARS);
        if (!WriteProcessMemory(m_process, m_remote, &request, sizeof(request), nullptr) ||
            !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_remote))) {
            return L"?";
        }
        return ReadBuffer();
    }

    std::wstring StatusPane(HWND statusBar, int pane) const
    {
        LRESULT length = SendMessageW(statusBar, SB_GETTEXTLENGTHW, pane, 0);
        if (m_remote == nullptr || LOWORD(length) >= TEXT_CHARS) {
            return L"?";
        }
        SendMessageW(statusBar, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(RemoteBuffer()));
        return ReadBuffer();
    }

private:
    wchar_t* RemoteBuffer() const
    {
        return reinterpret_cast<wchar_t*>(static_cast<char*>(m_remote) + sizeof(TVITEMW));
    }
    std::wstring ReadBuffer() const
    {
        wchar_t text[TEXT_CHARS] = {};
        if (!ReadProcessMemory(m_process, RemoteBuffer(), text, sizeof(text) - sizeof(wchar_t),
                               nullptr)) {
            return L"?";
        }
        return text;
    }

    HANDLE m_process = nullptr;
    void* m_remote = nullptr;
};

constexpr DWORD MIXER_WAIT_MS = 60000;
constexpr int INPUT_MIXER_BUTTON = 1052;
constexpr int OUTPUT_MIXER_BUTTON = 1055;
constexpr const wchar_t* MIXER_CAPTIONS[] = {L"Hardware Inputs Mixer", L"Software Outputs Mixer"};

struct MixerSearch
{
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK MatchMixer(HWND window, LPARAM search)
{
    auto* wanted = reinterpret_cast<MixerSearch*>(search);
    wchar_t className[16] = {};
    wchar_t text[128] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, text, 128);
    const size_t length = wcslen(wanted->caption);
    if (wcscmp(className, L"#32770") == 0 && IsWindowVisible(window) &&
        wcsncmp(text, wanted->caption, length) == 0) {
        wanted->found = window;
        return FALSE;
    }
    return TRUE;
}

// A shown mixer window: its caption is the window's name and then the device's.
HWND FindShownMixer(const wchar_t* caption)
{
    MixerSearch search{caption, nullptr};
    EnumWindows(MatchMixer, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Clicks the first device page's mixer button (posted: the panel builds the
// window on its own thread) and waits for the window.
int OpenMixer(HWND frame, bool inputs)
{
    const int id = inputs ? INPUT_MIXER_BUTTON : OUTPUT_MIXER_BUTTON;
    HWND button = PanelWindow::FindChild(frame, id);
    if (button == nullptr) {
        std::fprintf(stderr, "cplselect: no device page with mixer buttons\n");
        return 1;
    }
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    const wchar_t* caption = MIXER_CAPTIONS[inputs ? 0 : 1];
    for (DWORD waited = 0; waited < MIXER_WAIT_MS; waited += 100) {
        if (HWND mixer = FindShownMixer(caption)) {
            RECT rect{};
            GetWindowRect(mixer, &rect);
            std::printf("%ls %ldx%ld\n", caption, rect.right - rect.left, rect.bottom - rect.top);
            return 0;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "cplselect: the %ls did not open\n", caption);
    return 1;
}

int PrintShownMixers()
{
    int shown = 0;
    for (const wchar_t* caption : MIXER_CAPTIONS) {
        if (HWND mixer = FindShownMixer(caption)) {
            std::printf("%ls %p\n", caption, static_cast<void*>(mixer));
            ++shown;
        }
    }
    return shown > 0 ? 0 : 1;
}

int CloseMixers()
{
    for (const wchar_t* caption : MIXER_CAPTIONS) {
        if (HWND mixer = FindShownMixer(caption)) {
            PostMessageW(mixer, WM_CLOSE, 0, 0);
        }
    }
    return 0;
}

constexpr int SAMPLE_RATE_APPLY_BUTTON = 1038;
constexpr UINT PING_LIMIT_MS = 60000;

int ClickApply(HWND frame)
{
    HWND button = PanelWindow::FindChild(frame, SAMPLE_RATE_APPLY_BUTTON);
    if (button == nullptr) {
        std::fprintf(stderr, "cplselect: no Sample Rate page\n");
        return 1;
    }
    return PostMessageW(GetParent(button), WM_COMMAND,
                        MAKEWPARAM(SAMPLE_RATE_APPLY_BUTTON, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button))
               ? 0
               : 1;
}

int Ping(HWND frame)
{
    if (frame == nullptr) {
        std::fprintf(stderr, "cplselect: no control panel is running\n");
        return 1;
    }
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR answer = 0;
    const bool answered = SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, PING_LIMIT_MS,
                                              &answer) != 0;
    std::printf("%s %llu ms\n", answered ? "answered in" : "no answer in",
                static_cast<unsigned long long>(GetTickCount64() - start));
    return answered ? 0 : 1;
}

void Print(size_t index, const std::wstring& text)
{
    char narrow[TEXT_CHARS * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    std::printf("%zu %s\n", index, narrow);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"mixer") == 0) {
        HWND frame = FindWindowW(PanelWindow::CLASS_NAME, nullptr);
        if (std::wcscmp(argv[2], L"close") == 0) {
            return CloseMixers();
        }
        if (std::wcscmp(argv[2], L"shown") == 0) {
            return PrintShownMixers();
        }
        if (std::wcscmp(argv[2], L"inputs") == 0 || std::wcscmp(argv[2], L"outputs") == 0) {
            return OpenMixer(frame, std::wcscmp(argv[2], L"inputs") == 0);
        }
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: cplselect list | status | about | dismiss | apply | ping | "
                             "<item number> | mixer inputs|outputs|close|shown\n");
        return 2;
    }
    HWND frame = FindWindowW(PanelWindow::CLASS_NAME, nullptr);
    if (std::wcscmp(argv[1], L"apply") == 0) {
        return ClickApply(frame);
    }
    if (std::wcscmp(argv[1], L"ping") == 0) {
        return Ping(frame);
    }
    if (std::wcscmp(argv[1], L"status") == 0) {
        HWND statusBar = PanelWindow::FindChild(frame, PanelWindow::STATUS_BAR_ID);
        if (statusBar == nullptr) {
            std::fprintf(stderr, "cplselect: no control panel with a status bar is running\n");
            return 1;
        }
        RemoteText texts(statusBar);
        for (int pane = 0; pane <= 2; ++pane) {
            Print(static_cast<size_t>(pane), texts.StatusPane(statusBar, pane));
        }
        return 0;
    }
    if (std::wcscmp(argv[1], L"about") == 0) {
        return frame != nullptr && PostMessageW(frame, WM_COMMAND, PanelWindow::ABOUT_COMMAND, 0)
                   ? 0
                   : 1;
    }
    if (std::wcscmp(argv[1], L"dismiss") == 0) {
        HWND about = FindWindowW(L"#32770", PanelWindow::ABOUT_CAPTION);
        return about != nullptr && PostMessageW(about, WM_COMMAND, IDOK, 0) ? 0 : 1;
    }
    HWND tree = PanelWindow::FindChild(frame, PanelWindow::PAGE_TREE_ID);
    if (tree == nullptr) {
        std::fprintf(stderr, "cplselect: no control panel with a page tree is running\n");
        return 1;
    }
    std::vector<HTREEITEM> items;
    Collect(tree, TreeView_GetRoot(tree), items);
    RemoteText texts(tree);
    if (std::wcscmp(argv[1], L"list") == 0) {
        for (size_t i = 0; i < items.size(); ++i) {
            Print(i, texts.TreeItem(tree, items[i]));
        }
        return 0;
    }
    wchar_t* end = nullptr;
    unsigned long index = std::wcstoul(argv[1], &end, 10);
    if (end == argv[1] || *end != L'\0' || index >= items.size()) {
        std::fprintf(stderr, "cplselect: no item %ls (the tree has %zu)\n", argv[1], items.size());
        return 1;
    }
    TreeView_SelectItem(tree, items[index]);
    SetForegroundWindow(frame);
    Print(index, texts.TreeItem(tree, items[index]));
    return 0;
}
