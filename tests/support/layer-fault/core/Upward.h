// A core header that reaches up into the window: the layer check must refuse it.
#include "window/Form1.h"
