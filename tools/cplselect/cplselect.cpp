// cplselect.exe: walks the page tree of a running control panel from outside,
// for the screenshot run. The panel is found by its window class; the tree's
// item texts live in the panel's process, so they are read through a buffer
// allocated there.
//
//   cplselect list      prints "<n> <text>" for every item, depth first
//   cplselect <n>       selects item n, raises the panel and prints its text
// Exit codes: 0 done, 1 no panel or no such item, 2 usage.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t PANEL_CLASS[] = L"{1858C56E-18B4-4dad-A4A9-1BD177D41428}";
constexpr int PAGE_TREE_ID = 1002;
constexpr size_t TEXT_CHARS = 128;

BOOL CALLBACK FindTree(HWND child, LPARAM found)
{
    if (GetDlgCtrlID(child) == PAGE_TREE_ID) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

// Items in the order a reader sees them: each item, then its children.
void Collect(HWND tree, HTREEITEM item, std::vector<HTREEITEM>& items)
{
    for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        items.push_back(item);
        Collect(tree, TreeView_GetChild(tree, item), items);
    }
}

// One TVITEMW and its text buffer in the panel's process.
class RemoteItemText
{
public:
    explicit RemoteItemText(HWND tree)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(tree, &pid);
        m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process != nullptr) {
            m_remote = VirtualAllocEx(m_process, nullptr, sizeof(TVITEMW) + TEXT_CHARS * sizeof(wchar_t),
                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~RemoteItemText()
    {
        if (m_remote != nullptr) {
            VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
        }
        if (m_process != nullptr) {
            CloseHandle(m_process);
        }
    }
    RemoteItemText(const RemoteItemText&) = delete;
    RemoteItemText& operator=(const RemoteItemText&) = delete;

    std::wstring Read(HWND tree, HTREEITEM item) const
    {
        if (m_remote == nullptr) {
            return L"?";
        }
        auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(m_remote) + sizeof(TVITEMW));
        TVITEMW request{};
        request.mask = TVIF_TEXT;
        request.hItem = item;
        request.pszText = remoteText;
        request.cchTextMax = static_cast<int>(TEXT_CHARS);
        wchar_t text[TEXT_CHARS] = {};
        if (!WriteProcessMemory(m_process, m_remote, &request, sizeof(request), nullptr) ||
            !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_remote)) ||
            !ReadProcessMemory(m_process, remoteText, text, sizeof(text) - sizeof(wchar_t), nullptr)) {
            return L"?";
        }
        return text;
    }

private:
    HANDLE m_process = nullptr;
    void* m_remote = nullptr;
};

void Print(size_t index, const std::wstring& text)
{
    char narrow[TEXT_CHARS * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    std::printf("%zu %s\n", index, narrow);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cplselect list | cplselect <item number>\n");
        return 2;
    }
    HWND frame = FindWindowW(PANEL_CLASS, nullptr);
    HWND tree = nullptr;
    if (frame != nullptr) {
        EnumChildWindows(frame, FindTree, reinterpret_cast<LPARAM>(&tree));
    }
    if (tree == nullptr) {
        std::fprintf(stderr, "cplselect: no control panel with a page tree is running\n");
        return 1;
    }
    std::vector<HTREEITEM> items;
    Collect(tree, TreeView_GetRoot(tree), items);
    RemoteItemText texts(tree);
    if (std::wcscmp(argv[1], L"list") == 0) {
        for (size_t i = 0; i < items.size(); ++i) {
            Print(i, texts.Read(tree, items[i]));
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
    Print(index, texts.Read(tree, items[index]));
    return 0;
}
