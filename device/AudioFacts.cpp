#include "device/AudioFacts.h"
