#include "CtlContext.h"

#include "KorvelStatus.h"

int CtlContext::Connect()
{
    if (m_connection.Client().IsOpen()) {
        return CTL_EXIT_OK;
    }
    const DWORD status = m_connection.Open();
    if (status != KORVEL_STATUS_SUCCESS) {
        return m_report.Absent("cannot open the quillo driver", status);
    }
    return CTL_EXIT_OK;
}

KorvelDevice* CtlContext::ConnectDevice(const std::string& serial, int& exitCode)
{
    exitCode = Connect();
    if (exitCode != CTL_EXIT_OK) {
        return nullptr;
    }
    KorvelDevice* device = m_connection.FindBySerial(serial);
    if (device == nullptr) {
        exitCode = CtlConnection::NoSuchDevice(m_report, serial);
    }
    return device;
}
