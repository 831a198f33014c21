// Compiles every record header of the control interface into the library, so
// that their size and offset checks run on each architecture the library is
// built for, whether or not a deliverable includes them yet.
#include "KorvelAsioRecords.h"
#include "KorvelEchoRecord.h"
#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelMixerRecords.h"
#include "KorvelRecords.h"
#include "KorvelServiceRecords.h"
#include "KorvelStatus.h"
#include "KorvelWdmRecords.h"
