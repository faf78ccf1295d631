// Read and write throughput of Tagmill against TagLib on corpora made by
// make_corpus.py. Each measurement runs in a child process of its own, so the
// peak resident size it reports belongs to that phase alone; the figure
// printed is the median of several runs over the same, page-cached files.
//
//   (a) read:  open read-only, every string property, the date, the picture, close
//   (b) write: open for writing, set the title, commit; Tagmill durable (the
//       default: flushed) and not durable, TagLib (which never flushes); for
//       the first corpus and each --write-corpus
//   (c) the `tagmill set` program over the write files, durable and with
//       --no-sync, against a TagLib loop over the same files (with --tool)
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include "tagmill/picture.h"
#include "tagmill/tagmill.h"

namespace {

// Every string property identifier of the frame mapping table.
const long kStringIds[] = {4615, 4357, 4610, 4616, 4617, 4620, 4624, 4646, 4627, 8450,
                           288,  289,  528,  5639, 5644, 5648, 593,  5651, 4397};
const long kDateId = 5120;
const long kPictureId = 4640;
const long kTitleId = 4615;

struct Options {
    std::string corpus = "/tmp/tagmill-bench";
    int runs = 5;
    size_t write_files = 300;
    std::vector<std::string> write_corpora; // besides corpus
    std::string tool;                       // the tagmill program, for (c)
};

struct Sample {
    double seconds = 0;
    long checksum = 0; // work done, so that nothing is optimised away
    long max_rss_kb = 0;
};

std::vector<std::string> ListFiles(const std::string &dir) {
    std::vector<std::string> files;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::wstring Wide(const std::string &s) { return std::wstring(s.begin(), s.end()); }

long TagmillRead(const std::string &path) {
    CTagmill t;
    if (tagmill::Failed(t.Open(Wide(path), 1))) return -1000000;
    long sum = 0;
    std::vector<std::wstring> values;
    for (long id : kStringIds) {
        values.clear();
        if (t.GetString(id, values) == tagmill::S_OK)
            for (const auto &v : values) sum += (long)v.size();
    }
    double date = 0;
    if (t.GetDate(kDateId, date) == tagmill::S_OK) sum += (long)date;
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    if (t.GetBinary(kPictureId, pictures) == tagmill::S_OK)
        for (const auto &p : pictures) sum += p->Size();
    t.Close();
    return sum;
}

long TagLibRead(const std::string &path) {
    TagLib::MPEG::File f(path.c_str(), false);
    if (!f.isValid()) return -1000000;
    long sum = 0;
    TagLib::PropertyMap properties = f.properties();
    for (const auto &entry : properties)
        for (const auto &v : entry.second) sum += (long)v.size();
    if (properties.contains("DATE")) sum += properties["DATE"].front().toInt();
    if (TagLib::ID3v2::Tag *tag = f.ID3v2Tag()) {
        for (TagLib::ID3v2::Frame *frame : tag->frameListMap()["APIC"])
            if (auto *apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame))
                sum += (long)apic->picture().size();
    }
    return sum;
}

long TagmillWriteAs(const std::string &path, int n, bool durable) {
    CTagmill t;
    t.SetDurable(durable);
    if (tagmill::Failed(t.Open(Wide(path), 2))) return -1000000;
    long hr = t.PutString(kTitleId, {L"Blue Train " + std::to_wstring(n)});
    long closed = t.Close();
    return tagmill::Failed(hr) || tagmill::Failed(closed) ? -1000000 : 1;
}

long TagmillWrite(const std::string &path, int n) { return TagmillWriteAs(path, n, true); }
long TagmillWriteNoSync(const std::string &path, int n) { return TagmillWriteAs(path, n, false); }

long TagLibWrite(const std::string &path, int n) {
    TagLib::MPEG::File f(path.c_str(), false);
    if (!f.isValid()) return -1000000;
    f.ID3v2Tag(true)->setTitle(TagLib::String("Blue Train " + std::to_string(n)));
    return f.save() ? 1 : -1000000;
}

bool CopyFileBytes(const std::string &from, const std::string &to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    return bool(out);
}

// Runs body in a child; returns its time, checksum and peak resident size.
Sample InChild(const std::function<long()> &body) {
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        auto start = std::chrono::steady_clock::now();
        long checksum = body();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Sample s{seconds, checksum, 0};
        if (write(fds[1], &s, sizeof s) != (ssize_t)sizeof s) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Sample s;
    if (read(fds[0], &s, sizeof s) != (ssize_t)sizeof s) s.checksum = -1;
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    s.max_rss_kb = usage.ru_maxrss;
    return s;
}

struct Result {
    double files_per_second;
    long max_rss_kb;
    long checksum;
};

// Times the contenders on the same files, alternating their runs so that all
// meet the same background load; each gets the median of its runs.
std::vector<Result> MeasureAll(int runs, size_t files, const std::function<void()> &prepare,
                               const std::vector<std::function<long()>> &bodies) {
    std::vector<std::vector<double>> rates(bodies.size());
    std::vector<Result> results(bodies.size());
    for (int r = 0; r < runs; ++r) {
        for (size_t which = 0; which < bodies.size(); ++which) {
            if (prepare) prepare();
            Sample s = InChild(bodies[which]);
            rates[which].push_back(files / s.seconds);
            results[which].max_rss_kb = std::max(results[which].max_rss_kb, s.max_rss_kb);
            results[which].checksum = s.checksum;
        }
    }
    for (size_t which = 0; which < bodies.size(); ++which) {
        std::sort(rates[which].begin(), rates[which].end());
        results[which].files_per_second = rates[which][rates[which].size() / 2];
    }
    return results;
}

std::pair<Result, Result> Measure(int runs, size_t files, const std::function<void()> &prepare,
                                  const std::function<long()> &ours, const std::function<long()> &theirs) {
    std::vector<Result> r = MeasureAll(runs, files, prepare, {ours, theirs});
    return {r[0], r[1]};
}

long ReadAll(const std::vector<std::string> &files, long (*read)(const std::string &)) {
    long sum = 0;
    for (const auto &f : files) sum += read(f);
    return sum;
}

long WriteAll(const std::vector<std::string> &files, long (*write)(const std::string &, int)) {
    long sum = 0;
    int n = 0;
    for (const auto &f : files) sum += write(f, n++);
    return sum;
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown";
}

void WarmCache(const std::vector<std::string> &files) {
    std::vector<char> buffer(1 << 20);
    for (const auto &f : files) {
        std::ifstream in(f, std::ios::binary);
        while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {}
    }
}

void PrintRow(const char *what, const Result &m, const Result &t) {
    std::printf("%-22s %12.0f %12.0f %8.2fx %10ld %10ld\n", what, m.files_per_second, t.files_per_second,
                m.files_per_second / t.files_per_second, m.max_rss_kb, t.max_rss_kb);
    if (m.checksum < 0 || t.checksum < 0) std::printf("  (a file failed: checksums %ld / %ld)\n", m.checksum, t.checksum);
}

Options ParseOptions(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--corpus") o.corpus = next();
        else if (a == "--write-corpus") o.write_corpora.push_back(next());
        else if (a == "--tool") o.tool = next();
        else if (a == "--runs") o.runs = std::max(1, std::atoi(next().c_str()));
        else if (a == "--write-files") o.write_files = (size_t)std::max(1, std::atoi(next().c_str()));
        else {
            std::fprintf(stderr, "usage: tagmill_bench [--corpus DIR] [--write-corpus DIR]... [--tool PATH] [--runs N] "
                                 "[--write-files N]\n"
                                 "       tagmill_bench --open-close FILE N\n");
            std::exit(2);
        }
    }
    return o;
}

} // namespace

// For counting system calls (strace -c -f): N read-only opens of one file,
// each loading the property cache, and their closes.
int OpenClose(const char *path, int n) {
    long sum = 0;
    for (int i = 0; i < n; ++i) {
        CTagmill t;
        if (tagmill::Failed(t.Open(Wide(path), 1))) return 1;
        std::vector<std::wstring> title;
        if (t.GetString(kTitleId, title) == tagmill::S_OK) sum += (long)title.size();
        t.Close();
    }
    return sum == n ? 0 : 1;
}

// Writes go to scratch copies, refreshed before every run, so that each run
// starts from the corpus file and the corpus itself stays as made.
bool WritePhases(const Options &o, const std::string &corpus) {
    std::vector<std::string> sources = ListFiles(corpus + "/v23");
    if (sources.size() > o.write_files) sources.resize(o.write_files);
    if (sources.empty()) {
        std::fprintf(stderr, "no files in %s/v23: run make_corpus.py first\n", corpus.c_str());
        return false;
    }
    struct stat st {};
    stat(sources[0].c_str(), &st);
    const std::string scratch = corpus + "/scratch";
    mkdir(scratch.c_str(), 0755);
    std::vector<std::string> targets;
    for (size_t i = 0; i < sources.size(); ++i) targets.push_back(scratch + "/" + std::to_string(i) + ".mp3");
    // The copies are flushed, so that a durable commit pays for its own bytes
    // only, not for the copy's.
    auto refresh = [&] {
        for (size_t i = 0; i < sources.size(); ++i) CopyFileBytes(sources[i], targets[i]);
        sync();
        WarmCache(targets);
    };
    const size_t n = targets.size();
    std::vector<Result> write = MeasureAll(o.runs, n, refresh,
                                           {[&] { return WriteAll(targets, TagmillWrite); },
                                            [&] { return WriteAll(targets, TagmillWriteNoSync); },
                                            [&] { return WriteAll(targets, TagLibWrite); }});
    const std::string size = std::to_string((st.st_size + 512) / 1024) + " KB";
    PrintRow(("(b) title " + size + " x" + std::to_string(n)).c_str(), write[0], write[2]);
    PrintRow(("(b) title " + size + " no-sync").c_str(), write[1], write[2]);
    if (o.tool.empty()) return true;
    std::string list;
    for (const std::string &t : targets) list += " " + t;
    const std::string set = o.tool + " set --no-progress -q --title 'Blue Train'";
    std::vector<Result> program = MeasureAll(
        o.runs, n, refresh,
        {[&] { return std::system((set + list + " >/dev/null").c_str()) == 0 ? 1L : -1000000L; },
         [&] { return std::system((set + " --no-sync" + list + " >/dev/null").c_str()) == 0 ? 1L : -1000000L; },
         [&] { return WriteAll(targets, TagLibWrite); }});
    PrintRow(("(c) tagmill set x" + std::to_string(n)).c_str(), program[0], program[2]);
    PrintRow("(c) ... --no-sync", program[1], program[2]);
    return true;
}

int main(int argc, char **argv) {
    if (argc == 4 && std::string(argv[1]) == "--open-close") return OpenClose(argv[2], std::atoi(argv[3]));
    const Options o = ParseOptions(argc, argv);
    std::printf("machine: %ld CPUs, %s\n", sysconf(_SC_NPROCESSORS_ONLN), CpuModel().c_str());
    std::printf("corpus: %s, median of %d runs\n\n", o.corpus.c_str(), o.runs);
    std::printf("%-22s %12s %12s %9s %10s %10s\n", "phase (files/s)", "tagmill", "TagLib", "ratio", "rss KB tm",
                "rss KB tl");

    for (const char *set : {"v23", "v24", "unsync"}) {
        const std::vector<std::string> files = ListFiles(o.corpus + "/" + set);
        if (files.empty()) continue;
        WarmCache(files);
        auto read = Measure(o.runs, files.size(), nullptr, [&] { return ReadAll(files, TagmillRead); },
                            [&] { return ReadAll(files, TagLibRead); });
        std::string label = std::string("(a) read ") + set + " x" + std::to_string(files.size());
        PrintRow(label.c_str(), read.first, read.second);
    }

    std::vector<std::string> corpora = {o.corpus};
    corpora.insert(corpora.end(), o.write_corpora.begin(), o.write_corpora.end());
    for (const std::string &corpus : corpora)
        if (!WritePhases(o, corpus)) return 1;
    return 0;
}
