#pragma once
// This process's memory as the kernel and the allocator see it, for the soak and the benchmarks.

#include <QFile>
#include <QString>

#ifdef Q_OS_WIN
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on
#else
#include <malloc.h>
#endif

struct ProcessMemory {
    long long rssKb = -1;   // resident set (VmRSS); -1 when /proc cannot be read
    long long heapKb = -1;  // bytes handed out by malloc and not yet freed, in kB

#ifdef Q_OS_WIN
    // The working set, and the private bytes as the heap's measure (Windows' allocator tells no more).
    static ProcessMemory Now() {
        ProcessMemory memory;
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (::K32GetProcessMemoryInfo(::GetCurrentProcess(),
                                      reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                      sizeof counters)) {
            memory.rssKb = static_cast<long long>(counters.WorkingSetSize / 1024);
            memory.heapKb = static_cast<long long>(counters.PrivateUsage / 1024);
        }
        return memory;
    }
#else
    static ProcessMemory Now() {
        ProcessMemory memory;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmRSS:")) {
                    memory.rssKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
                }
            }
        }
        // Under a sanitizer the allocator is replaced and reports nothing useful here.
        memory.heapKb = static_cast<long long>(::mallinfo2().uordblks / 1024);
        return memory;
    }
#endif
};
