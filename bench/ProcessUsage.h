#pragma once

// What the benchmark process itself has used so far (Linux).

#include <QFile>
#include <sys/resource.h>

// Resident memory now, in bytes.
inline double residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const auto fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 : 0;
}

// Processor seconds of all the process's threads, user and system; with `children`, those of the
// child processes that have ended (the page renderers of documents closed so far) instead.
inline double processSeconds(bool children = false) {
    rusage usage{};
    getrusage(children ? RUSAGE_CHILDREN : RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
