// Second process for the mutex tests: takes the named mutex (argv[1]) as its
// initial owner, signals the named ready event (argv[2]) and holds the mutex
// until the named quit event (argv[3]) is signalled or 10 s have passed.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        return 2;
    }
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, argv[1]);
    if (ready == nullptr || quit == nullptr || mutex == nullptr) {
        return 3;
    }
    SetEvent(ready);
    WaitForSingleObject(quit, 10000);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    CloseHandle(quit);
    CloseHandle(ready);
    return 0;
}
