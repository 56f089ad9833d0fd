#include "device/ProfileFile.h"
