// An operator new for the test programs that can be told to fail, for the
// tests of what the reader and the pass do when memory runs out. Every test
// program gets it; it fails nothing until failNewAfter asks.
#pragma once

// The count-th call of operator new from now on throws std::bad_alloc (1:
// the next one); later calls succeed again. 0 or less: none fails.
void failNewAfter(long count);

// Whether the call set by failNewAfter has come and failed.
bool newHasFailed();
