#pragma once
// brindleasio.dll as the DLL tests load it: beside the test program (the
// build copies it there), its exports reached by name alone.
#include <windows.h>

#include <string>

#include "ProgramDirectory.h"

namespace asio_test {

using PlainFn = HRESULT(__stdcall*)();

inline std::wstring DllPath()
{
    return quillo_test::ProgramDirectory() + L"brindleasio.dll";
}

// An export as a typed function pointer (through void*: the types differ).
template <class Fn> Fn Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace asio_test
