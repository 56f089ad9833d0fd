#include "device/Fitting.h"
