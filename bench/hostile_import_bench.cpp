// SPDX-License-Identifier: Apache-2.0
// Times `brx-offer import --dry-run` of each hostile price list of the import tests (files of a
// few kilobytes that once crashed the import, stalled it for hours or took gigabytes) against
// the import of the price list `brx-offer template` writes for the same lot, in the same run:
// each a whole process: its wall time and processor time (medians of the runs) and its peak
// resident memory.
//
// Run it by hand from the build folder: bench/hostile_import_bench [RUNS]. It prints Markdown
// for bench/RESULTS.md.

#include "import_sheets.h"
#include "tools/tender_description.h"

#include "machine.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Run {
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0; // user and system time: what the run costs on a machine others share
    long peakKilobytes = 0;
    double peakMegabytes() const { return static_cast<double>(peakKilobytes) / 1024.0; }
};

// One run of brx-offer with `arguments`, its output thrown away.
Run brxOffer(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {BRX_OFFER_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(BRX_OFFER_PATH);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKilobytes = usage.ru_maxrss;
    const auto seconds = [](timeval time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return run;
}

// The run of median wall time, with the median processor time and the highest peak of `runs`
// runs.
Run measure(int runs, const std::vector<std::string>& arguments) {
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(brxOffer(arguments));
    std::sort(all.begin(), all.end(),
              [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
    Run result = all[all.size() / 2];
    std::vector<double> cpu;
    for (const Run& run : all)
        cpu.push_back(run.cpuSeconds);
    std::sort(cpu.begin(), cpu.end());
    result.cpuSeconds = cpu[cpu.size() / 2];
    for (const Run& run : all)
        result.peakKilobytes = std::max(result.peakKilobytes, run.peakKilobytes);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir folder;
    const std::string tender = folder.filePath(QStringLiteral("DB.mdb")).toStdString();
    tender::writeTender(importsheets::importTender(), tender);
    const std::string benign = folder.filePath(QStringLiteral("template.xlsx")).toStdString();
    if (brxOffer({"template", tender, "1", "-o", benign}).status != 0) {
        std::fprintf(stderr, "brx-offer template failed\n");
        return 1;
    }
    const Run reference = measure(runs, {"import", tender, benign, "--dry-run"});

    std::printf("## The import of hostile price lists of a few kilobytes\n\n");
    std::printf("Written from `bench/hostile_import_bench %d`.\n\n", runs);
    std::printf("- Machine: %s\n", bench::machine().c_str());
    std::printf("- Each file imported by `brx-offer import DB.mdb FILE --dry-run` as a whole "
                "process, %d runs: the median wall time, the median processor time (user and "
                "system) and the "
                "highest peak resident memory\n",
                runs);
    std::printf("- Reference, in the same run: the import of the price list `brx-offer "
                "template` writes for the same lot (%lld bytes)\n\n",
                static_cast<long long>(QFile(QString::fromStdString(benign)).size()));
    std::printf("| file | bytes | exit | wall time | processor time | peak memory | processor "
                "time / reference |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    std::printf("| template (reference) | %lld | %d | %.3f s | %.3f s | %.1f MB | 1.0 |\n",
                static_cast<long long>(QFile(QString::fromStdString(benign)).size()),
                reference.status, reference.seconds, reference.cpuSeconds,
                reference.peakMegabytes());
    double slowest = 0;
    double largest = 0;
    for (const importsheets::HostileSheet& hostile : importsheets::hostileSheets()) {
        const QString path = folder.filePath(hostile.fileName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(hostile.bytes) != hostile.bytes.size())
            return 1;
        file.close();
        const Run run = measure(runs, {"import", tender, path.toStdString(), "--dry-run"});
        slowest = std::max(slowest, run.cpuSeconds);
        largest = std::max(largest, run.peakMegabytes());
        std::printf("| %s | %lld | %d | %.3f s | %.3f s | %.1f MB | %.1f |\n", hostile.name,
                    static_cast<long long>(hostile.bytes.size()), run.status, run.seconds,
                    run.cpuSeconds, run.peakMegabytes(), run.cpuSeconds / reference.cpuSeconds);
    }
    std::printf("\nslowest / reference in processor time: **%.1f**; slowest %.3f s, largest peak "
                "%.1f MB\n",
                slowest / reference.cpuSeconds, slowest, largest);
    return 0;
}
