// msgpuck is a header-only library whose non-inline definitions are emitted by the one
// translation unit that defines MP_SOURCE before including it; this is that unit.
#define MP_SOURCE 1
#include <msgpuck.h>
