#include "SimCoreFixture.h"

#include "KorvelIoctl.h"

#include <atomic>
#include <cstring>

void SimCoreFixture::SetUp()
{
    ASSERT_EQ(StartSim(), 0u);
}

void SimCoreFixture::TearDown()
{
    m_sim.Stop();
}

std::wstring SimCoreFixture::UniqueNamespace()
{
    static std::atomic<unsigned> counter{0};
    return L"simcore-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

uint32_t SimCoreFixture::StartSim(SimServerOptions options)
{
    m_sim.Stop();
    m_ns = UniqueNamespace();
    options.nameSpace = m_ns;
    return m_sim.Start(options);
}

void SimCoreFixture::OpenLink(SimTestLink& link, bool asio)
{
    ASSERT_EQ(link.Open(m_ns, asio ? KORVEL_ASIO_CONTROL_DEVICE_NAME : KORVEL_CONTROL_DEVICE_NAME),
              0u);
}

void SimCoreFixture::FirstDeviceKey(SimTestLink& driver, KorvelDeviceKey& key)
{
    SimTestAnswer list =
        driver.Request(IOCTL_KORVEL_GET_DEVICE_LIST, nullptr, 0, sizeof(KorvelDeviceList));
    ASSERT_EQ(list.status, 0u);
    ASSERT_GE(Word(list.out, 0), 1u);
    key = KorvelDeviceKey{Word(list.out, 4), Word(list.out, 8)};
}

bool SimCoreFixture::WaitForStats(const std::string& text, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        if (m_sim.Control("stats").find(text) != std::string::npos) {
            return true;
        }
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

uint32_t SimCoreFixture::Word(const std::vector<uint8_t>& bytes, size_t offset)
{
    uint32_t value = 0xDEADBEEF;
    if (offset + 4 <= bytes.size()) {
        std::memcpy(&value, bytes.data() + offset, 4);
    }
    return value;
}
