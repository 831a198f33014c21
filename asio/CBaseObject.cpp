#include "CBaseObject.h"

#include "AsioModule.h"

CBaseObject::CBaseObject()
{
    AsioModule::ObjectCreated();
}

CBaseObject::~CBaseObject()
{
    AsioModule::ObjectDestroyed();
}
