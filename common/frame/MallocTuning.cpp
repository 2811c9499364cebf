#include "common/frame/MallocTuning.h"

#include <malloc.h>

namespace dvr::frame {

void tuneHeapForPictureDecoding() {
    // Freed blocks stay in the heap up to 64 MiB before it is trimmed, and blocks up to 32 MiB come from
    // the heap, so the decoder's per-picture working memory is reused rather than mapped afresh.
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
}

}  // namespace dvr::frame
