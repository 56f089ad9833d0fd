#pragma once
#include "commandline/Options.h"
