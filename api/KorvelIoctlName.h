#pragma once
// Names of the control codes for the diagnostic log: "GET_VERSION" for
// IOCTL_KORVEL_GET_VERSION; null for a code not in the interface.
#include <cstdint>

const char* IoctlName(uint32_t code);
