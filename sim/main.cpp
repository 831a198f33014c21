// korvelsim.exe: the device simulator as a program (serve) and its control
// front end (ctl).
#include "SimControl.h"
#include "SimControlClient.h"
#include "SimDeviceConfig.h"
#include "SimServer.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const USAGE =
    "korvelsim - stands in for the quillo kernel driver and its devices\n"
    "\n"
    "Usage:\n"
    "  korvelsim serve --namespace NS [--devices N] [--config FILE] [--trace FILE]\n"
    "      Serves the control devices on \\\\.\\pipe\\NS\\<control device name> and the\n"
    "      control pipe \\\\.\\pipe\\NS\\control until Ctrl+C or 'korvelsim ctl --namespace\n"
    "      NS stop'. --devices plugs N default devices, --config plugs the devices of a\n"
    "      configuration file, --trace writes one line per request:\n"
    "        seq=<n> t_ms=<ms> conn=<id> pid=<pid> type=<client type or -> dev=<w0>:<w1 or ->\n"
    "        code=0x<8 hex> in=<n> out=<n> status=0x<8 hex> ret=<n>\n"
    "      (one line; dev=- on a handle not bound to a device). Prints 'korvelsim: ready'\n"
    "      once the pipes accept connections.\n"
    "  korvelsim ctl --namespace NS <command words...>\n"
    "      Sends one control command and prints the answer. Exit code 0 for OK, 1 for\n"
    "      ERR, 2 when the simulator cannot be reached.\n"
    "  korvelsim --help\n"
    "\n"
    "Refused as the kernel driver refuses them (status in brackets):\n"
    "  a code it does not answer, or on the wrong kind of handle  [INVALID_IOCTL]\n"
    "  an input or output length other than the code's record\n"
    "                                [INVALID_INBUFFER_SIZE, then INVALID_OUTBUFFER_SIZE]\n"
    "  a request message with sequence number 0                   [INVALID_PARAMETER]\n"
    "  a request message from a connection without client type or message event\n"
    "                                                              [INVALID_STATE]\n"
    "  a notification message from a connection that is not the server [NOT_ALLOWED]\n"
    "  a reply whose routing words or sequence number match no request\n"
    "                                                              [INITIATOR_NOT_FOUND]\n"
    "  client type 1 on the panel/service device, any other type on the ASIO device\n"
    "                                                              [INVALID_TYPE]\n"
    "  events for a view connection (types 3, 4), either order    [NOT_ALLOWED]\n"
    "  OPEN_DEVICE on a connection that is typed or has events    [INVALID_STATE]\n"
    "  a registered handle that is not an auto-reset event        [INVALID_PARAMETER]\n"
    "  mixer gains and weights beyond -9000..9000, reserved bytes not 0, a\n"
    "  pass-through other than 0 or 1, filled-in query fields     [INVALID_PARAMETER]\n"
    "  selecting one streaming device with a key that names none  [NO_DEVICE]\n"
    "\n"
    "Command words (control pipe, ctl and config file alike): blanks separate words,\n"
    "double quotes hold a word with blanks (\"quillo 16\"); numbers are decimal or\n"
    "0x-hex, codes and statuses of 'fault fail' hex with or without 0x.\n"
    "\n"
    "Clients use the simulator when KORVEL_SIMULATOR=NS is set in their environment\n"
    "(or the string value Simulator under HKLM\\Software\\VANTREL\\quillo).\n"
    "\n";

HANDLE g_interrupt = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT || type == CTRL_CLOSE_EVENT) {
        SetEvent(g_interrupt);
        return TRUE;
    }
    return FALSE;
}

int Usage(const char* error)
{
    if (error != nullptr) {
        std::fprintf(stderr, "korvelsim: %s\n\n", error);
    }
    std::fputs(USAGE, error != nullptr ? stderr : stdout);
    std::fputs(SimControl::Help(), error != nullptr ? stderr : stdout);
    return 2;
}

// Reads "--name value" options from args[first...]; stops at the first word
// that is not an option (the control command of ctl).
bool ReadOptions(const std::vector<std::wstring>& args, size_t& next, SimServerOptions& options,
                 bool serve)
{
    while (next < args.size() && args[next].rfind(L"--", 0) == 0) {
        const std::wstring& name = args[next];
        if (next + 1 >= args.size()) {
            return false;
        }
        const std::wstring& value = args[next + 1];
        if (name == L"--namespace") {
            options.nameSpace = value;
        } else if (serve && name == L"--devices") {
            wchar_t* end = nullptr;
            unsigned long count = wcstoul(value.c_str(), &end, 10);
            if (value.empty() || *end != L'\0' || count > 64) {
                return false;
            }
            options.devices = static_cast<unsigned>(count);
        } else if (serve && name == L"--config") {
            options.configPath = value;
        } else if (serve && name == L"--trace") {
            options.tracePath = value;
        } else {
            return false;
        }
        next += 2;
    }
    return !options.nameSpace.empty();
}

int Serve(const std::vector<std::wstring>& args)
{
    SimServerOptions options;
    size_t next = 2;
    if (!ReadOptions(args, next, options, true) || next != args.size()) {
        return Usage("serve needs --namespace NS and takes only the options listed");
    }
    g_interrupt = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    SimServer server;
    uint32_t status = server.Start(options);
    if (status != 0) {
        std::fprintf(stderr, "korvelsim: cannot serve namespace %s (status 0x%08X)%s\n",
                     SimDeviceConfig::Narrow(options.nameSpace).c_str(), static_cast<unsigned>(status),
                     status == ERROR_ACCESS_DENIED ? ": another simulator serves it" : "");
        return 1;
    }
    std::printf("korvelsim: serving namespace %s\nkorvelsim: ready\n",
                SimDeviceConfig::Narrow(options.nameSpace).c_str());
    std::fflush(stdout);
    HANDLE waits[2] = {server.StopRequestedEvent(), g_interrupt};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    server.Stop();
    std::printf("korvelsim: stopped\n");
    std::fflush(stdout);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    CloseHandle(g_interrupt);
    return 0;
}

int Ctl(const std::vector<std::wstring>& args)
{
    SimServerOptions options;
    size_t next = 2;
    if (!ReadOptions(args, next, options, false) || next >= args.size()) {
        return Usage("ctl needs --namespace NS and a command");
    }
    // Each argument stays one word on the other side: one with blanks goes quoted.
    std::string line;
    for (; next < args.size(); ++next) {
        std::string word = SimDeviceConfig::Narrow(args[next]);
        if (word.empty() || word.find_first_of(" \t") != std::string::npos) {
            word = "\"" + word + "\"";
        }
        line += (line.empty() ? "" : " ") + word;
    }
    std::string answer;
    uint32_t status = SimControlClient::Send(options.nameSpace, line, answer);
    if (status != 0) {
        std::fprintf(stderr, "korvelsim: cannot reach the simulator of namespace %s (error %u)\n",
                     SimDeviceConfig::Narrow(options.nameSpace).c_str(), static_cast<unsigned>(status));
        return 2;
    }
    std::fputs(answer.c_str(), stdout);
    if (answer.empty() || answer.back() != '\n') {
        std::fputs("\n", stdout);
    }
    return answer.rfind("OK", 0) == 0 ? 0 : 1;
}

} // namespace

int main()
{
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 0; argv != nullptr && i < count; ++i) {
        args.emplace_back(argv[i]);
    }
    LocalFree(argv);
    if (args.size() < 2) {
        return Usage("no command");
    }
    const std::wstring& command = args[1];
    if (command == L"--help" || command == L"-h" || command == L"help" || command == L"/?") {
        Usage(nullptr);
        return 0;
    }
    if (command == L"serve") {
        return Serve(args);
    }
    if (command == L"ctl") {
        return Ctl(args);
    }
    return Usage("unknown command");
}
