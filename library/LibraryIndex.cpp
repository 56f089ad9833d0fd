#include "library/LibraryIndex.h"
