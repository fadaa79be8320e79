#pragma once
// This process's memory as the kernel and the allocator see it, for the soak and the benchmarks.

#include <malloc.h>

#include <QFile>
#include <QString>

struct ProcessMemory {
    long long rssKb = -1;   // resident set (VmRSS); -1 when /proc cannot be read
    long long heapKb = -1;  // bytes handed out by malloc and not yet freed, in kB

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
};
