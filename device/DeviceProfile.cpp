#include "device/DeviceProfile.h"
