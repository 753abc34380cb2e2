#include "heap_stats.h"

#include <stdlib.h> /* defines __GLIBC__ where glibc is the C library */

#if defined(__GLIBC__)
#include <malloc.h>
#elif defined(__APPLE__)
#include <malloc/malloc.h>
#endif

size_t heap_bytes_in_use(void) {
#if defined(__GLIBC__)
  return mallinfo2().uordblks;
#elif defined(__APPLE__)
  malloc_statistics_t stats;
  malloc_zone_statistics(NULL, &stats);
  return stats.size_in_use;
#else
  return 0;
#endif
}
