#include "support/AudioFixtures.h"
