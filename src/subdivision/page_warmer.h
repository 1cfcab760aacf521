// Faulting in, on another core, the pages a pass is about to write its new
// records into. A pass to millions of triangles writes hundreds of megabytes
// of fresh memory, and the kernel's clearing of those pages was over half of
// its time; a worker asks the kernel to populate the pages (populatePages of
// platform.h, which leaves their bytes to the writer), the room of
// the pools it is given side by side, as the appends fill it (a pass warms its
// vertices' room, then its edges' and faces'), so that the clearing runs
// beside the writing (the appends soon follow the worker rather than lead).
// The worker touches no record and no store state, and has ended when
// stopWarming returns.
#pragma once

#include <cstddef>
#include <thread>

struct PageWarmer {
  std::thread worker;  // not joinable when no worker runs
};

// Starts the worker over the room of the next appends (roomForRecords) when
// it is large enough to be worth a thread; does nothing when the system
// cannot populate pages or the room's list or the thread cannot be had, as
// the appends then fault their pages in themselves.
void startWarming(PageWarmer& warmer, std::size_t vertices, std::size_t edges, std::size_t faces);

void stopWarming(PageWarmer& warmer);
