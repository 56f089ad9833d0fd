#include "device/Ffmpeg.h"
