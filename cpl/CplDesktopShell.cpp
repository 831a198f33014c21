#include "CplDesktopShell.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

// Releases a COM interface at scope exit.
template <class I>
class ComRef
{
public:
    ComRef() = default;
    ~ComRef()
    {
        if (m_p != nullptr)
            m_p->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    I* operator->() const { return m_p; }
    I** Put() { return &m_p; }
    void** PutVoid() { return reinterpret_cast<void**>(&m_p); }

private:
    I* m_p = nullptr;
};

// The calling thread in a single-threaded apartment for the scope, unless
// it already is in one (the panel's main thread is).
class ApartmentScope
{
public:
    ApartmentScope() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ApartmentScope()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;

private:
    HRESULT m_result;
};

// A VARIANT that owns its content.
class Variant
{
public:
    Variant() { ::VariantInit(&m_value); }
    ~Variant() { ::VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* Get() { return &m_value; }
    void SetInt(LONG value)
    {
        ::VariantClear(&m_value);
        m_value.vt = VT_I4;
        m_value.lVal = value;
    }
    HRESULT SetText(const wchar_t* text)
    {
        ::VariantClear(&m_value);
        m_value.bstrVal = ::SysAllocString(text);
        if (m_value.bstrVal == nullptr)
            return E_OUTOFMEMORY;
        m_value.vt = VT_BSTR;
        return S_OK;
    }

private:
    VARIANT m_value;
};

// The desktop window's shell dispatch object, which runs in Explorer.
HRESULT DesktopShellDispatch(IShellDispatch2** shell)
{
    ComRef<IShellWindows> windows;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                    IID_IShellWindows, windows.PutVoid());
    if (FAILED(hr))
        return hr;
    Variant location;
    location.SetInt(CSIDL_DESKTOP);
    Variant empty;
    long window = 0;
    ComRef<IDispatch> desktop;
    hr = windows->FindWindowSW(location.Get(), empty.Get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                               desktop.Put());
    if (hr != S_OK) // S_FALSE: no desktop window
        return FAILED(hr) ? hr : E_FAIL;
    ComRef<IServiceProvider> services;
    if (FAILED(hr = desktop->QueryInterface(IID_IServiceProvider, services.PutVoid())))
        return hr;
    ComRef<IShellBrowser> browser;
    if (FAILED(hr = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())))
        return hr;
    ComRef<IShellView> view;
    if (FAILED(hr = browser->QueryActiveShellView(view.Put())))
        return hr;
    ComRef<IDispatch> background;
    if (FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())))
        return hr;
    ComRef<IShellFolderViewDual> folderView;
    if (FAILED(hr = background->QueryInterface(IID_IShellFolderViewDual, folderView.PutVoid())))
        return hr;
    ComRef<IDispatch> application;
    if (FAILED(hr = folderView->get_Application(application.Put())))
        return hr;
    return application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shell));
}

} // namespace

HRESULT CplDesktopShell::Open(const wchar_t* address)
{
    if (address == nullptr || *address == L'\0')
        return E_INVALIDARG;
    // S_FALSE from the desktop's ShellExecute: it found nothing to open with.
    if (IsElevated() && OpenThroughDesktop(address) == S_OK)
        return S_OK;
    return OpenDirectly(address);
}

bool CplDesktopShell::IsElevated()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated =
        ::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
        elevation.TokenIsElevated != 0;
    ::CloseHandle(token);
    return elevated;
}

HRESULT CplDesktopShell::OpenThroughDesktop(const wchar_t* address)
{
    ApartmentScope apartment;
    ComRef<IShellDispatch2> shell;
    HRESULT hr = DesktopShellDispatch(shell.Put());
    if (FAILED(hr))
        return hr;
    Variant file;
    if (FAILED(hr = file.SetText(address)))
        return hr;
    BSTR name = file.Get()->bstrVal;
    Variant arguments;
    Variant directory;
    Variant operation;
    Variant show;
    show.SetInt(SW_SHOWNORMAL);
    if (FAILED(hr = operation.SetText(L"open")))
        return hr;
    return shell->ShellExecute(name, *arguments.Get(), *directory.Get(), *operation.Get(), *show.Get());
}

HRESULT CplDesktopShell::OpenDirectly(const wchar_t* address)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = address;
    info.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&info))
        return S_OK;
    const DWORD error = ::GetLastError();
    return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
}
