#include "foundation/Random.h"

namespace {
// One generator for the whole process, like the C runtime's; the program runs on one thread.
uint32_t g_randState = 1;
} // namespace

void tlSrand(uint32_t seed)
{
    g_randState = seed;
}

int tlRand()
{
    // Unsigned arithmetic wraps modulo 2^32.
    g_randState = g_randState * 214013u + 2531011u;
    return int((g_randState >> 16) & 0x7FFFu);
}
