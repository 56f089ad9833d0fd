#include "device/ConversionCache.h"
