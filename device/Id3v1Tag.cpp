#include "device/Id3v1Tag.h"
