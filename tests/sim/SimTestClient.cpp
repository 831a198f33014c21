// Child process for the simulator's cleanup tests: connects to a simulator
// like a deliverable does (version, events, client type), optionally sends one
// request, says READY on stdout and then waits to be terminated.
//   sim_test_client <namespace> <client type> [request]
#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "SimTestLink.h"

#include <cstdio>
#include <cwchar>
#include <shellapi.h>

int main()
{
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr || count < 3) {
        std::fprintf(stderr, "usage: sim_test_client <namespace> <client type> [request]\n");
        return 2;
    }
    SimTestLink link;
    if (link.Open(argv[1], KORVEL_CONTROL_DEVICE_NAME) != 0) {
        return 1;
    }
    HANDLE messageEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE notificationEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (link.Request(IOCTL_KORVEL_GET_VERSION, nullptr, 0, 24).status != 0 ||
        link.RegisterEvents(messageEvent, notificationEvent) != 0 ||
        link.SetClientType(static_cast<uint32_t>(std::wcstoul(argv[2], nullptr, 10))) != 0) {
        return 1;
    }
    if (count > 3 && std::wcscmp(argv[3], L"request") == 0) {
        uint32_t rate = 48000;
        if (link.SendMsg(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_SAMPLE_RATE, 77, &rate, 4) != 0) {
            return 1;
        }
    }
    LocalFree(argv);
    std::printf("READY\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
