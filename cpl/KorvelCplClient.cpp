#include "KorvelCplClient.h"

// Out of line so that the class's virtual table lives in one object file.
KorvelCplClient::~KorvelCplClient() = default;
