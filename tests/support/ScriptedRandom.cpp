#include "ScriptedRandom.h"

#include <gtest/gtest.h>

float ScriptedRandom::Next()
{
    if (next >= values.size()) {
        ADD_FAILURE() << "no scripted random value left";
        return 0.0f;
    }
    return values[next++];
}
