// SPDX-License-Identifier: Apache-2.0
// Times what a bidder waits for on a big tender, each figure beside a reference measured in the
// same run, as medians of repeated runs. Tenders of 500 lots x 100 positions and 50 x 100 are
// generated as `tenderdb generate` makes them; the shared sample tender is the small one.
//
//   B1 process start to the main window shown with every dataset open (offscreen), and the
//      datasets opened without a window; reference: mdb-export of PREDLOGENIA
//   B2 a lot switch: qryData closed, MASTER_CODE set, opened on a lot of 100 positions
//   B3 leaving the edit page: a price posted, the lots closed and opened with their totals
//   B4 one post of a price, synced and not; reference: a page read, written and fdatasync'ed
//   B5 tenderdb update of one row by PRODUCT_CODE; reference: mdb-export of SPECS plus B4's
//      reference
//   B6 peak resident memory of the client with its biggest lot open, big against sample
//
// Run it by hand from the build folder: bench/tender_bench [RUNS]. It prints Markdown for
// bench/RESULTS.md. Called with --client FOLDER it is the client started in FOLDER instead: it
// shows the main window, opens the biggest lot, and writes its peak memory to descriptor 3.
// Called with --lots-once FILE it opens the lots of FILE once, for profiling under callgrind.

#include "app/client_application.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "jet/database.h"
#include "jet/row_update.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include "machine.h"

#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kReportFd = 3;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timing {
    double wall = 0;
    double cpu = 0; // user and system time
};

double processorSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Medians of `runs` calls of `work`, after one call that is not counted.
Timing timed(int runs, const std::function<void(int)>& work) {
    work(-1);
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        double cpu = processorSeconds();
        work(i);
        cpus.push_back(processorSeconds() - cpu);
        walls.push_back(seconds(start));
    }
    return {median(walls), median(cpus)};
}

struct Child {
    double wall = 0;    // from the spawn to the exit, or to the first byte on the report pipe
    double cpu = 0;     // user and system time of the whole run
    std::string report; // what it wrote to descriptor 3
};

// Runs a program with its output thrown away; `folder` becomes its working directory.
Child runProgram(const std::vector<std::string>& argv, const fs::path& folder = {}) {
    int report[2];
    if (::pipe(report) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, report[1], kReportFd);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    ::close(report[1]);
    Child child;
    char buffer[256];
    ssize_t got = 0;
    bool first = true;
    while ((got = ::read(report[0], buffer, sizeof buffer)) > 0) {
        if (first)
            child.wall = seconds(start);
        first = false;
        child.report.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(report[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (first)
        child.wall = seconds(start);
    auto time = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    child.cpu = time(usage.ru_utime) + time(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(argv[0] + " failed");
    return child;
}

// Medians of the wall and processor times of `runs` runs, after one that is not counted.
Timing medianRun(int runs, const std::vector<std::string>& argv, const fs::path& folder = {}) {
    runProgram(argv, folder);
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int i = 0; i < runs; ++i) {
        Child child = runProgram(argv, folder);
        walls.push_back(child.wall);
        cpus.push_back(child.cpu);
    }
    return {median(walls), median(cpus)};
}

// The client as the bidder starts it, in the working directory; once the main window shows,
// the biggest lot is opened as a lot switch opens it, and the peak memory is reported.
int runClient(int argc, char** argv) {
    auto start = Clock::now();
    ClientApplication application(argc, argv);
    ScriptedDialogs dialogs;
    ErrorGuard guard(dialogs);
    application.setErrorGuard(&guard);
    ClientModules modules = createModules(guard);
    if (modules.fmMain == nullptr || !dialogs.errors().isEmpty())
        return 1;
    modules.fmMain->show();
    QApplication::processEvents();
    const double shown = seconds(start);

    data::Dataset& lots = *modules.fmMain->qryObosobeniPozicii;
    data::Dataset& positions = *modules.fmMain->qryData;
    qint64 biggest = -1;
    double most = -1;
    for (int r = 0; r < lots.recordCount(); ++r) {
        const double count =
            lots.valueAt(r, lots.fieldByName(QStringLiteral("_OBSHT_BROI_POZICII")).index())
                .toDouble();
        if (count > most) {
            most = count;
            biggest = lots.valueAt(r, lots.fieldByName(QStringLiteral("PRODUCT_CODE")).index())
                          .toLongLong();
        }
    }
    positions.close();
    positions.setParameter(QStringLiteral("MASTER_CODE"), biggest);
    positions.open();
    QApplication::processEvents();
    // The high-water mark of this process image: getrusage's maximum would count the memory of
    // the benchmark that started it, which Linux carries across exec.
    std::string peak = "0";
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            peak = line.substr(line.find_first_of("0123456789"));
    std::string report = std::to_string(shown) + " " + std::to_string(std::stol(peak)) + " " +
                         std::to_string(positions.recordCount()) + "\n";
    if (::write(kReportFd, report.data(), report.size()) < 0 || !dialogs.errors().isEmpty())
        return 1;
    std::fflush(nullptr);
    ::_exit(0); // the figures are taken; tearing the windows down is not part of them
}

struct Tender {
    std::string name;
    fs::path folder; // holds DB.mdb
    fs::path file() const { return folder / "DB.mdb"; }
};

Tender makeTender(const fs::path& root, const std::string& name, int lots, int positions) {
    Tender tender{name, root / name};
    fs::create_directories(tender.folder);
    tender::writeTender(tender::generateTender(lots, positions), tender.file().string());
    return tender;
}

// Reading the datasets of the main window in the order of its first showing, without a window.
Timing openDatasets(int runs, const Tender& tender) {
    return timed(runs, [&](int) {
        data::Connection connection;
        connection.open(QString::fromStdString(tender.file().string()));
        auto init = data::makeQrySpecsInit(connection);
        auto specs = data::makeQrySpecs(connection);
        auto lots = data::makeQryObosobeniPozicii(connection);
        auto positions = data::makeQryData(connection);
        init->open();
        init->close();
        specs->open();
        lots->open();
        positions->setParameter(QStringLiteral("MASTER_CODE"),
                                lots->fieldByName(QStringLiteral("PRODUCT_CODE")).value());
        positions->open();
    });
}

struct Session {
    data::Connection connection;
    std::unique_ptr<data::Dataset> lots;
    std::unique_ptr<data::Dataset> positions;

    explicit Session(const Tender& tender) {
        connection.open(QString::fromStdString(tender.file().string()));
        lots = data::makeQryObosobeniPozicii(connection);
        positions = data::makeQryData(connection);
        lots->open();
    }
    qint64 lotAt(int record) const {
        return lots->valueAt(record, lots->fieldByName(QStringLiteral("PRODUCT_CODE")).index())
            .toLongLong();
    }
    void switchTo(qint64 lot) {
        positions->close();
        positions->setParameter(QStringLiteral("MASTER_CODE"), lot);
        positions->open();
    }
};

Timing lotSwitch(int runs, const Tender& tender) {
    Session session(tender);
    const int count = session.lots->recordCount();
    return timed(runs * 5, [&](int i) { session.switchTo(session.lotAt((i + 1) * 7919 % count)); });
}

Timing storeAndReopenLots(int runs, const Tender& tender) {
    Session session(tender);
    session.switchTo(session.lotAt(session.lots->recordCount() / 2));
    data::Field& price = session.positions->fieldByName(QStringLiteral("PP1_NUMBER"));
    return timed(runs, [&](int i) {
        session.positions->moveTo((i + 1) % session.positions->recordCount());
        session.positions->edit();
        price.setValue(10.0 + i);
        session.positions->post();
        session.lots->close();
        session.lots->open();
    });
}

struct Posts {
    double synced = 0;
    double unsynced = 0;
};

Posts posts(int runs, const Tender& tender) {
    jet::Database db(tender.file().string(), jet::Database::Mode::ReadWrite);
    jet::TableDef table = db.table("PREDLOGENIA");
    std::vector<jet::RowId> rows;
    const std::size_t none[] = {0};
    db.scan(table, none, [&](jet::RowId id, const jet::Row&) { rows.push_back(id); });
    db.update(table, rows.front(), {{"PP6_NUMBER", 1.0}}); // the first post looks for the mark
    Posts result;
    for (auto durability : {jet::Durability::Synced, jet::Durability::Unsynced}) {
        double median =
            timed(runs * 5, [&](int i) {
                const jet::RowId id = rows[static_cast<std::size_t>(i + 1) * 7919 % rows.size()];
                jet::updateRow(db.file(), table, id, {{"PP1_NUMBER", 0.5 * (i + 2)}}, durability);
            }).wall;
        (durability == jet::Durability::Synced ? result.synced : result.unsynced) = median;
    }
    return result;
}

// What a durable post cannot do without: one page read, written back and made durable.
double pageWriteReference(int runs, const Tender& tender) {
    jet::PageFile file(tender.file().string(), jet::PageFile::Access::ReadWrite);
    return timed(runs * 5,
                 [&](int) {
                     jet::Page page = file.read(0);
                     file.write(0, page);
                     file.sync();
                 })
        .wall;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--client") {
        QDir::setCurrent(QString::fromLocal8Bit(argv[2]));
        qputenv("QT_QPA_PLATFORM", "offscreen");
        int qtArgc = 1;
        return runClient(qtArgc, argv);
    }
    if (argc == 3 && std::string(argv[1]) == "--lots-once") {
        data::Connection connection;
        connection.open(QString::fromLocal8Bit(argv[2]));
        auto lots = data::makeQryObosobeniPozicii(connection);
        lots->open();
        return 0;
    }
    const int runs = argc > 1 ? std::stoi(argv[1]) : 9;
    const fs::path root =
        fs::temp_directory_path() / ("tender_bench." + std::to_string(::getpid()));
    fs::create_directories(root);
    const std::string self = fs::canonical("/proc/self/exe").string();

    const Tender sample{"sample", root / "sample"};
    fs::create_directories(sample.folder);
    fs::copy_file(fs::path(BRX_SHARED_DIR) / "mdb" / "tender-sample.mdb", sample.file());
    fs::permissions(sample.file(), fs::perms::owner_read | fs::perms::owner_write);
    const Tender mid = makeTender(root, "5,000 positions (50 lots)", 50, 5000);
    const Tender big = makeTender(root, "50,500 positions (500 lots)", 500, 50500);
    const std::string bigFile = big.file().string();

    std::printf("- Machine: %s\n", bench::machine().c_str());
    std::printf("- Big tender: %ju pages (%.1f MB); %d runs per figure, medians\n\n",
                static_cast<std::uintmax_t>(fs::file_size(big.file()) / jet::kPageSize),
                static_cast<double>(fs::file_size(big.file())) / 1e6, runs);

    const Timing exportPositions = medianRun(runs, {"mdb-export", bigFile, "PREDLOGENIA"});
    const Timing exportSpecs = medianRun(runs, {"mdb-export", bigFile, "SPECS"});
    const double pageWrite = pageWriteReference(runs, big);

    std::vector<Timing> shown;
    std::vector<double> peak;
    for (const Tender* tender : {&sample, &big}) {
        std::vector<double> walls;
        std::vector<double> cpus;
        double rss = 0;
        for (int i = 0; i <= runs; ++i) {
            Child child = runProgram({self, "--client", tender->folder.string()});
            // From the spawn to the report, sent once the window shows and the biggest lot is
            // open (one lot switch more, about a millisecond).
            if (i > 0) {
                walls.push_back(child.wall);
                cpus.push_back(child.cpu);
            }
            rss = std::max(rss, std::stod(child.report.substr(child.report.find(' ') + 1)));
        }
        shown.push_back({median(walls), median(cpus)});
        peak.push_back(rss / 1024);
    }
    const Timing datasets = openDatasets(runs, big);
    const Timing switchMid = lotSwitch(runs, mid);
    const Timing switchBig = lotSwitch(runs, big);
    const Timing storeBig = storeAndReopenLots(runs, big);
    const Posts postsMid = posts(runs, mid);
    const Posts postsBig = posts(runs, big);
    const Timing update =
        medianRun(runs, {TENDERDB_PATH, "update", bigFile, "PREDLOGENIA", "--where",
                         "PRODUCT_CODE=25000", "--set", "PP1_NUMBER=12.5"});
    fs::remove_all(root);

    auto ms = [](double s) { return s * 1e3; };
    std::printf("| figure | measured | reference (same run) | ratio | goal |\n");
    std::printf("|---|---|---|---|---|\n");
    std::printf("| B1 main window shown, from process start (big) | %.0f ms (processor %.0f ms) "
                "| mdb-export PREDLOGENIA %.0f ms (processor %.0f ms) | %.2f (processor %.2f) | "
                "at most 0.5 |\n",
                ms(shown[1].wall), ms(shown[1].cpu), ms(exportPositions.wall),
                ms(exportPositions.cpu), shown[1].wall / exportPositions.wall,
                shown[1].cpu / exportPositions.cpu);
    std::printf("| B1 the same, sample tender | %.0f ms (processor %.0f ms) | | | |\n",
                ms(shown[0].wall), ms(shown[0].cpu));
    std::printf("| B1 datasets opened, no window (big) | %.1f ms (processor %.1f ms) | "
                "mdb-export PREDLOGENIA %.0f ms (processor %.0f ms) | %.3f (processor %.3f) | at "
                "most 0.1 |\n",
                ms(datasets.wall), ms(datasets.cpu), ms(exportPositions.wall),
                ms(exportPositions.cpu), datasets.wall / exportPositions.wall,
                datasets.cpu / exportPositions.cpu);
    std::printf("| B2 lot switch to 100 positions (big) | %.2f ms (processor %.2f ms) | the same "
                "on 5,000 positions %.2f ms | %.2f | under 5 ms, ratio about 1 |\n",
                ms(switchBig.wall), ms(switchBig.cpu), ms(switchMid.wall),
                switchBig.wall / switchMid.wall);
    std::printf("| B3 price posted, lots reopened with totals (big) | %.1f ms (processor %.1f "
                "ms) | | | under 50 ms |\n",
                ms(storeBig.wall), ms(storeBig.cpu));
    std::printf("| B4 post synced (big) | %.2f ms | page read, written, fdatasync %.2f ms | "
                "%.2f | at most 2 |\n",
                ms(postsBig.synced), ms(pageWrite), postsBig.synced / pageWrite);
    std::printf("| B4 post synced (5,000) | %.2f ms | | %.2f | at most 2 |\n", ms(postsMid.synced),
                postsMid.synced / pageWrite);
    std::printf("| B4 post not synced (big) | %.3f ms | the same on 5,000 positions %.3f ms | "
                "%.2f | under 0.2 ms, ratio about 1 |\n",
                ms(postsBig.unsynced), ms(postsMid.unsynced),
                postsBig.unsynced / postsMid.unsynced);
    std::printf("| B5 tenderdb update by PRODUCT_CODE (big) | %.1f ms (processor %.1f ms) | "
                "mdb-export SPECS %.1f ms (processor %.1f ms) + page write %.1f ms | %.2f | at "
                "most 1 |\n",
                ms(update.wall), ms(update.cpu), ms(exportSpecs.wall), ms(exportSpecs.cpu),
                ms(pageWrite), update.wall / (exportSpecs.wall + pageWrite));
    std::printf("| B6 peak resident memory, biggest lot open | %.1f MB (big) | %.1f MB "
                "(sample) | +%.1f MB | at most +40 MB |\n",
                peak[1], peak[0], peak[1] - peak[0]);
    return 0;
}
