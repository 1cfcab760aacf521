// Memory readings of the benchmark. With glibc the program replaces malloc
// and its kin with counting wrappers around glibc's own, so it knows exactly
// how many heap bytes are held and their peak; counting is switched on only
// while memory is measured, so timed runs pay nothing but a test of a flag.
// Other C libraries let no program replace their malloc for every library
// that calls it, and have no mallinfo2: there nothing is counted, every
// reading below is 0 and the tables print "-" for them.
#pragma once

#include <cstddef>

// Whether this build counts the heap and reads mallinfo2.
bool heapIsCounted();

// Starts counting (from the bytes held now) and sets the peak to it.
void startHeapCounting();
void stopHeapCounting();

// Heap bytes held by blocks allocated while counting was on, each block
// counted with malloc's header; and the peak of that since the start.
long long countedHeapBytes();
long long countedHeapPeak();

// mallinfo2's bytes in use (uordblks + hblkhd). It also counts the blocks
// glibc keeps in its per-thread cache after they are freed.
std::size_t mallinfoInUse();
