#include "device/DeviceFiles.h"
