// The sizes of the reading library's buffers, reads and steps. A build made with
// CSVQ_SMALL_READING_SIZES (the fuzz build only) gives them tiny values instead, so that inputs
// of a few hundred bytes cross every read, window, checkpoint and block boundary; every other
// build uses the first value.
#pragma once

#if defined(CSVQ_SMALL_READING_SIZES)
#define CSVQ_READING_SIZE(normal, small) (small)
#else
#define CSVQ_READING_SIZE(normal, small) (normal)
#endif
