// Where a case of the benchmark runs. Each case should start from a fresh
// process, so that one case's heap cannot flatter the next; not every system
// can give it one cheaply.
#pragma once

#include <functional>
#include <vector>

// Runs work in a child process where the system can fork (POSIX) and hands
// back the bytes work produced; a child that fails is reported on stdout and
// gives what it sent. Elsewhere work runs in this process: the readings of
// later cases then start from what earlier ones left behind (a heap grown and
// cut into pieces, pages already faulted in).
std::vector<char> runApart(const std::function<std::vector<char>()>& work);
