#include "CustomServer.h"

#include "KorvelStatus.h"

#include <new>

KorvelDevice* CustomServer::CreateDevice()
{
    return new (std::nothrow) CustomDevice(GetRegistryRoot());
}

DWORD CustomServer::OnCustomRequest(const KorvelMessage& request, KorvelMessage& reply)
{
    switch (request.code) {
    case KORVEL_CUSTOM_SET_WDM_CONFIG:
        return SetWdmConfiguration(request);
    case KORVEL_CUSTOM_GET_WDM_CONFIG:
        return GetWdmConfiguration(request, reply);
    default:
        return KorvelServer::OnCustomRequest(request, reply);
    }
}

CustomDevice* CustomServer::FindCustomDevice(const KorvelDeviceKey& key) const
{
    return dynamic_cast<CustomDevice*>(FindDevice(key.word0, key.word1));
}

DWORD CustomServer::SetWdmConfiguration(const KorvelMessage& request)
{
    KorvelWdmConfigRecord record{};
    DWORD status = request.ReadPayload(record);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    CustomDevice* device = FindCustomDevice(record.key);
    if (device == nullptr) {
        return KORVEL_STATUS_OBJECT_NOT_FOUND;
    }
    // Other values only ever come from the registry.
    if (record.renderConfiguration != 0 || record.captureConfiguration != 0) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    KorvelStreamingState state{};
    status = GetStreamingState(state);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (state.activityCount2 > 0) {
        return KORVEL_STATUS_SOUND_DEVICE_IN_USE;
    }
    status = BringDown(0);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    device->ResetWdmConfiguration();
    return BringUp(0);
}

DWORD CustomServer::GetWdmConfiguration(const KorvelMessage& request, KorvelMessage& reply)
{
    KorvelWdmConfigRecord record{};
    DWORD status = request.ReadPayload(record);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const CustomDevice* device = FindCustomDevice(record.key);
    if (device == nullptr) {
        return KORVEL_STATUS_OBJECT_NOT_FOUND;
    }
    record.renderConfiguration = device->RenderWdmConfiguration();
    record.captureConfiguration = device->CaptureWdmConfiguration();
    reply.code = KORVEL_CUSTOM_REPLY_WDM_CONFIG;
    return reply.SetPayload(&record, sizeof(record));
}
