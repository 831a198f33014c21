#include "CtlReport.h"

#include "CtlCodeName.h"
#include "CtlText.h"
#include "KorvelStatus.h"

namespace {

constexpr CtlCodeName kReasons[] = {
    {KORVEL_STATUS_SOUND_DEVICE_IN_USE, "audio is in use"},
    {KORVEL_STATUS_NO_SERVER, "the quillo control service is not running"},
    {KORVEL_STATUS_TIMEOUT, "the quillo control service did not answer"},
    {KORVEL_STATUS_NOT_OPENED, "the quillo driver is not there"},
    {ERROR_FILE_NOT_FOUND, "the quillo driver is not there"},
    {ERROR_PATH_NOT_FOUND, "the quillo driver is not there"},
    {KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE, "the device does not offer this sample rate"},
    {KORVEL_STATUS_INVALID_SAMPLE_RATE, "the device does not offer this sample rate"},
    {KORVEL_STATUS_INVALID_BUFFER_SIZE, "there is no such buffer size"},
    {KORVEL_STATUS_INVALID_PARAMETER, "a value is out of range"},
    {KORVEL_STATUS_OBJECT_NOT_FOUND, "the device has no such pin"},
    {KORVEL_STATUS_NOT_SUPPORTED, "the device does not support this"},
    {KORVEL_STATUS_NOT_ALLOWED, "this is not allowed now"},
    {KORVEL_STATUS_NOT_POSSIBLE, "this is not possible now"},
    {KORVEL_STATUS_NO_DEVICES, "no device is attached"},
    {KORVEL_STATUS_NO_DEVICE, "the device is not attached"},
    {KORVEL_STATUS_DEVICE_REMOVED, "the device was unplugged"},
    {KORVEL_STATUS_NO_STREAMING_DEVICE, "no device is selected for streaming"},
    {KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE, "the device is on a USB 1.1 port"},
    {KORVEL_STATUS_VERSION_MISMATCH, "the driver's interface version does not fit"},
};

} // namespace

int CtlReport::Done(const nlohmann::json& document, const std::string& text)
{
    if (m_json) {
        m_out << document.dump(2) << "\n";
    } else if (!text.empty()) {
        m_out << text;
        if (text.back() != '\n') {
            m_out << "\n";
        }
    }
    m_out.flush();
    return CTL_EXIT_OK;
}

void CtlReport::Line(const nlohmann::json& document, const std::string& text)
{
    if (m_json) {
        m_out << document.dump() << "\n";
    } else {
        m_out << text << "\n";
    }
    m_out.flush();
}

int CtlReport::Failed(const std::string& what, DWORD status)
{
    return IsAbsence(status) ? Absent(what, status) : Refused(what, status);
}

int CtlReport::Absent(const std::string& what, DWORD status)
{
    const std::string name = CtlText::StatusName(status);
    return Error(CTL_EXIT_ABSENT, what + ": " + Reason(status) + " (Status=" + name + ").", name);
}

int CtlReport::Refused(const std::string& what, DWORD status)
{
    const std::string name = CtlText::StatusName(status);
    return Error(CTL_EXIT_REFUSED, what + ": " + Reason(status) + " (Status=" + name + ").", name);
}

int CtlReport::Refused(const std::string& sentence)
{
    return Error(CTL_EXIT_REFUSED, sentence, CtlText::StatusName(KORVEL_STATUS_REJECTED));
}

int CtlReport::Usage(const std::string& sentence)
{
    return Error(CTL_EXIT_USAGE, sentence, CtlText::StatusName(KORVEL_STATUS_INVALID_COMMAND));
}

bool CtlReport::IsAbsence(DWORD status)
{
    return status == KORVEL_STATUS_NO_SERVER || status == KORVEL_STATUS_TIMEOUT ||
           status == KORVEL_STATUS_NOT_OPENED;
}

const char* CtlReport::Reason(DWORD status)
{
    return CtlFindName(kReasons, status, "the request failed");
}

int CtlReport::Error(int code, const std::string& sentence, const std::string& statusName)
{
    if (m_json) {
        m_err << nlohmann::json{{"error", sentence}, {"status", statusName}}.dump() << "\n";
    } else {
        m_err << "quilloctl: " << sentence << "\n";
    }
    m_err.flush();
    return code;
}
