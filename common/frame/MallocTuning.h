#pragma once

namespace dvr::frame {

// Tunes the process heap for a long run of picture decodes: keeps freed memory instead of trimming it back
// and serves the decoder's large blocks from the heap rather than fresh mappings, so that every picture
// does not touch megabytes of new pages. Programs and tools call it once at start; the library never does.
void tuneHeapForPictureDecoding();

}  // namespace dvr::frame
