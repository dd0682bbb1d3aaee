/* A plugin that lacks four of the five entry points. */
#include <stdint.h>

__attribute__((visibility("default"))) int32_t ConfLibInit(void) {
    return 0;
}
