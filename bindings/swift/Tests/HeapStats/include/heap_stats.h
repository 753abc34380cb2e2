/* The C allocator's bytes in use, for the tests' leak check (malloc.h is not a Swift module). */
#ifndef PBQ_SWIFT_HEAP_STATS_H
#define PBQ_SWIFT_HEAP_STATS_H

#include <stddef.h>

/* Bytes handed out by malloc and not yet freed; 0 where the platform does not say. */
size_t heap_bytes_in_use(void);

#endif
