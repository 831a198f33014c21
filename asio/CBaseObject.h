#pragma once
// Counts itself among the module's live objects for as long as it exists, so
// that the module is not unloaded under it.
class CBaseObject
{
public:
    CBaseObject();
    virtual ~CBaseObject();

    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
};
