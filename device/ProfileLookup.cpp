#include "device/ProfileLookup.h"
