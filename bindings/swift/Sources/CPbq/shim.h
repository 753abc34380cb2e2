/* The header of the installed library (libpbq-dev), found on the system's include path. */
#include <pbq.h>
