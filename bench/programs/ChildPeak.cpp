// Runs a command and reports its wall time and peak resident memory, of the
// command's process alone.
//
//     tessel_child_peak REPORT COMMAND [ARGUMENT...]
//
// writes "<milliseconds> <peak KiB> <exit code>" to REPORT. A child's peak as
// the kernel counts it includes what the process that forked it held (the
// pages it shares until exec): measured from a large program, every command
// would seem as large. This program is small, so what it reports is the
// command's own, as /usr/bin/time reports it.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main (int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf (stderr, "usage: tessel_child_peak REPORT COMMAND [ARGUMENT...]\n");
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    const auto pid = fork();
    if (pid == 0)
    {
        execvp (argv[2], argv + 2);
        _exit (127);
    }
    if (pid < 0)
        return 1;

    int status = 0;
    rusage usage {};
    if (wait4 (pid, &status, 0, &usage) != pid)
        return 1;
    const auto elapsed = std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - start).count();

    auto* report = std::fopen (argv[1], "w");
    if (report == nullptr)
        return 1;
    std::fprintf (report, "%.3f %ld %d\n", elapsed, usage.ru_maxrss, WIFEXITED (status) ? WEXITSTATUS (status) : -1);
    return std::fclose (report) == 0 ? 0 : 1;
}
