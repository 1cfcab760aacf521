// The platform: every service of the operating system and the compiler that
// the viewer uses beyond the C++ standard library, so that the store, the
// reader, the pass and the viewer include no system header and no built-in.
// A build compiles one implementation: platform_linux.cpp on Linux,
// platform_windows.cpp on Windows, platform_portable.cpp on every other
// system. The services below came in for speed (huge pages, page warming,
// prefetching) and for refusing passes that cannot fit (the memory probe); a
// system without them loses that speed, and there a pass that cannot fit is
// refused only when its memory fails to come (what each fallback does is
// written beside each service).
//
// Nothing here keeps state between calls or owns memory past a call, except
// the blocks handed out by takeHugeMemory, takeAlignedHugeMemory and
// takeHeapMemory, which the caller owns and gives back with std::free, and
// whether a huge-page fault of the process has stalled (below). The
// memory probe, the small file reader and the directory test allocate
// nothing on Linux and Windows: they are asked exactly when memory may have
// run out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLATFORM_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PLATFORM_UNDER_ASAN 1
#endif
#ifdef PLATFORM_UNDER_ASAN
#include <sanitizer/asan_interface.h>
#endif

// The huge page of x86-64 and arm64 Linux. Blocks of kHugePagesFrom bytes or
// more come from takeHugeMemory, below it from the heap as usual. On the
// virtual machines this was measured on a first touch of a fresh 4 KiB page
// cost about 13 to 20 us and of a fresh huge page about 0.2 ms, so from
// about 64 KiB on a block is faster to fault in as a whole huge page, even
// with the unused end that one holds. Blocks of a few hundred KiB that are
// written only in part (the reader's tables) come in huge pages from
// kHugePagesFrom; a pass's records, written whole, from a quarter of it.
//
// Where the kernel has no huge page free, an advised fault first compacts or
// reclaims memory to make one (Linux's transparent huge pages as Debian sets
// them). On a machine whose memory holds mostly page cache and movable pages
// that costs less than the small-page faults it saves; where memory is
// pinned or dirty a fault can take many milliseconds and a run stalls. So a
// block is advised at once where no fault can compact
// (hugePagesWithoutStall); where one may (hugePagesMayCompact), its first
// huge page is faulted in and timed right after the advice, and a fault
// slower than kStalledFaultMs withdraws the advice from the rest of the
// block and from every later block of the process: a process pays for one
// stalled fault at most. Otherwise blocks come in whatever pages the kernel
// gives unadvised memory. The one thing kept between calls is whether a
// fault of the process has stalled.
constexpr std::size_t kHugePageBytes = std::size_t(2) << 20;
constexpr std::size_t kHugePagesFrom = std::size_t(256) << 10;

// Memory for a block of at least kHugePagesFrom bytes that is written right
// after it is taken, from the heap. Linux takes it as whole huge pages,
// aligned, and advises them as such as said above (at once, or probed by
// faulting its first huge page in), so that none of it is faulted
// in 4 KiB at a time (one fault per 2 MiB instead of 512); unadvised, the
// kernel still gives such a block huge pages where its settings give them to
// all memory, or small pages. Its bytes are not set. Elsewhere: plain
// malloc. nullptr when it cannot be had; given back with std::free.
void* takeHugeMemory(std::size_t bytes);

// The bytes a block of this size from takeHugeMemory holds, so that a caller
// can use the room its last huge page holds after it. Linux: the whole huge
// pages; elsewhere: bytes.
std::size_t hugeMemoryBytes(std::size_t bytes);

// takeHugeMemory's block, but on Linux starting on a huge page (except under
// AddressSanitizer, whose allocator moves the block as it is cut to size),
// for blocks whose size is a whole number of huge pages, so that none of it
// lies in small ones when it gets huge pages. While the call runs the heap may hold
// up to a huge page more, so blocks taken while a pass's memory peaks should
// not come from here. Elsewhere: plain malloc. nullptr when it cannot be had;
// given back with std::free.
void* takeAlignedHugeMemory(std::size_t bytes);

// The heap's block of the systems without huge pages (Windows and the
// portable fallback), on every system so that its tests run everywhere:
// malloc, nullptr when it cannot be had, given back with std::free.
void* takeHeapMemory(std::size_t bytes);

// Whether advising a block of bytes for huge pages cannot make its page
// faults compact or reclaim memory, from the texts of Linux's
// /sys/kernel/mm/transparent_hugepage/enabled and .../defrag (the chosen
// word in brackets) and /proc/buddyinfo. Never when huge pages are off or
// the settings cannot be read. Always when defrag is "defer" or "never"
// (an advised fault then takes a free huge page or falls back to small ones).
// For "always", "madvise" and "defer+madvise", where an advised fault
// compacts when no huge page is free, only while the free 2 MiB blocks
// buddyinfo counts are at least twice the block's huge pages plus
// kHugePagesKeptFree, room for what other blocks just advised and other
// processes will take before the block is written. A pure function of its
// texts, on every system so that its tests run everywhere.
constexpr std::size_t kHugePagesKeptFree = 128;
bool hugePagesWithoutStall(const char* enabled, const char* defrag, const char* buddyinfo, std::size_t bytes);

// Whether an advised fault may compact or reclaim memory under these
// settings: huge pages on ("always" or "madvise") and defrag neither
// "defer" nor "never". A pure function of its texts, as above.
bool hugePagesMayCompact(const char* enabled, const char* defrag);

// A fault of a fresh huge page takes about 0.2 ms, and up to 3 ms where the
// host of a virtual machine must first find memory for it; one that takes
// longer than this was compacting or reclaiming.
constexpr double kStalledFaultMs = 10.0;

// Whether populatePages can work on this system at all; a caller that would
// start a thread only to populate pages starts none when this is false.
// Linux: true; elsewhere false.
bool pagesCanBePopulated();

// Faults in, for writing, the whole pages inside the bytes at start, reading
// and writing none of their bytes, so that another thread's first writes find
// them present; a page the range shares with other memory is left alone. May
// run beside a thread writing the range. False when the system refuses (a
// Linux kernel older than 5.14 does not know MADV_POPULATE_WRITE, and every
// later call will be refused too); the writer then faults its pages in itself.
// Elsewhere: false, doing nothing.
bool populatePages(void* start, std::size_t bytes);

// A hint that the bytes at address will be read soon, so that reads at
// random places can overlap; it never faults, whatever the address.
// Compilers without the built-in: no hint.
inline void prefetchForReading(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// Under AddressSanitizer, memory the program must not touch until it is
// unpoisoned again (a pool's records not handed out); any other build: no
// check.
inline void poisonMemory(const void* address, std::size_t bytes) {
#ifdef PLATFORM_UNDER_ASAN
  ASAN_POISON_MEMORY_REGION(address, bytes);
#else
  (void)address;
  (void)bytes;
#endif
}
inline void unpoisonMemory(const void* address, std::size_t bytes) {
#ifdef PLATFORM_UNDER_ASAN
  ASAN_UNPOISON_MEMORY_REGION(address, bytes);
#else
  (void)address;
  (void)bytes;
#endif
}

// True when path names a directory, which the C library may open as a file
// and read nothing from. False for anything else, a missing path included.
// Linux and Windows allocate nothing; elsewhere it asks the standard library,
// which may throw std::bad_alloc.
bool isDirectory(const char* path);

// The whole of a small file into text, at most size - 1 bytes of it, then a
// NUL; false when it cannot be opened or holds nothing. Linux and Windows
// allocate nothing; elsewhere the C library's stream may.
bool readSmallFile(const char* path, char* text, std::size_t size);

// Bytes the process can still take; UINT64_MAX when nothing is known.
// Linux: the least of the address-space limit (RLIMIT_AS) less the address
// space in use, MemAvailable plus SwapFree, and for the process's control
// group and each group above it, its limit less its use (v2: memory.max and
// memory.current; v1: memory.limit_in_bytes and memory.usage_in_bytes); a
// source that cannot be read limits nothing. Windows: the least of the
// memory the system can still commit, the process's unreserved address
// space, and the memory limits of a job object the process runs in less what
// the process has committed (other processes of the job are not counted).
// Elsewhere: UINT64_MAX, so a pass too large fails its reservation or its
// index's allocation instead of being refused up front.
uint64_t systemMemoryAvailable();

// The text parsers of the Linux probe, on every system so their tests run
// everywhere. MemAvailable plus SwapFree of /proc/meminfo text, in bytes;
// UINT64_MAX when MemAvailable is missing.
uint64_t meminfoAvailable(const char* meminfo);
// The least headroom of the control groups that /proc/self/cgroup text names,
// with the cgroup file systems mounted under root (v2 at root or
// root/unified, v1's memory controller at root/memory), read with
// readSmallFile; UINT64_MAX when no group sets a limit.
uint64_t cgroupAvailable(const char* procSelfCgroup, const char* root);

// Whether the stream goes to a terminal, where a person may want to see how
// long work is going. Linux: isatty; Windows: _isatty; elsewhere false, so
// progress is shown only when asked for.
bool isTerminal(std::FILE* stream);

// Makes the stream write bytes as they are, for binary files written to
// standard output. Windows: _setmode with _O_BINARY, so that no LF becomes
// CR LF; elsewhere streams never translate, and it does nothing.
void setBinaryMode(std::FILE* stream);

// Renames the file at from to to, replacing a file already there, so that to
// holds either what it held or the whole of from. False, changing nothing,
// when that cannot be done. Linux: rename, one step; Windows: MoveFileEx with
// MOVEFILE_REPLACE_EXISTING, one step; elsewhere std::rename, and when that
// refuses to replace, std::remove then std::rename, two steps with a moment
// between them where to does not exist.
bool replaceFile(const char* from, const char* to);
