#pragma once

// The devices read files through tags/; the library index is a neighbour.
#include "library/LibraryIndex.h"
