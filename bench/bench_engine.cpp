// Locker engine throughput on generated trees: hide as the window does it (CreateVerifiedLocker into
// a new file, which checks it behind the writer, flushed to disk and named) and ExtractLocker; and the memory the entry
// list of a tree takes.
// KELVARN_BENCH_COLD: every timed run starts with cold caches, else with its input cached (see
// SetCaches).
// The trees are generated once per process under /tmp (or in $KELVARN_BENCH_TREES, kept for reuse,
// which is how script/bench-engine times tar on the very same files).

#include "platform/PlatformDirHandle.h"
#include "locker/uLocker.h"
#include "workflow/uWorkflow.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int64_t MiB = 1024 * 1024;
constexpr int64_t ChunkSize = 4 * MiB;
const QString BenchPassword = QStringLiteral("bench password");

enum class TTree { OneFile, MediumFiles, SmallFiles };

struct TTreeShape {
    const char* Name; // folder name under the base folder
    bool SingleFile;  // the locker source is the one file inside the folder
};

constexpr std::array<TTreeShape, 3> TreeShapes = {{
    {"one-gib", true},        // one 1 GiB file
    {"medium-512mib", false}, // 2000 files, 512 MiB in all
    {"small-20000", false},   // 20000 files of about 1 KiB in nested folders
}};

uint64_t Mix(uint64_t X) {
    X ^= X >> 33;
    X *= 0xff51afd7ed558ccdULL;
    X ^= X >> 33;
    X *= 0xc4ceb3fe1a85ec53ULL;
    X ^= X >> 33;
    return X;
}

void FillPseudoRandom(std::vector<char>& Buffer, int64_t Count, uint64_t Seed) {
    uint64_t State = Mix(Seed) | 1;
    for (int64_t I = 0; I + 8 <= Count; I += 8) {
        State ^= State << 13;
        State ^= State >> 7;
        State ^= State << 17;
        std::memcpy(Buffer.data() + I, &State, 8);
    }
    for (int64_t I = Count & ~int64_t(7); I < Count; ++I)
        Buffer[static_cast<size_t>(I)] = static_cast<char>(Mix(Seed + static_cast<uint64_t>(I)));
}

void WriteAll(int Fd, const char* Data, int64_t Count) {
    while (Count > 0) {
        const ssize_t N = ::write(Fd, Data, static_cast<size_t>(Count));
        if (N <= 0)
            throw std::runtime_error("write failed");
        Data += N;
        Count -= N;
    }
}

void WriteGeneratedFile(const QString& Path, int64_t Size, uint64_t Seed, std::vector<char>& Buffer) {
    const int Fd = ::open(QFile::encodeName(Path).constData(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    if (Fd < 0)
        throw std::runtime_error("cannot create " + Path.toStdString());
    for (int64_t Done = 0; Done < Size;) {
        const int64_t N = std::min(ChunkSize, Size - Done);
        FillPseudoRandom(Buffer, N, Seed + static_cast<uint64_t>(Done));
        WriteAll(Fd, Buffer.data(), N);
        Done += N;
    }
    ::close(Fd);
}

// The 2000 sizes pair up around the mean so that they add up to exactly 512 MiB.
int64_t MediumFileSize(int Index) {
    constexpr int Count = 2000;
    constexpr int64_t Total = 512 * MiB;
    constexpr int64_t Mean = Total / Count;
    const int64_t Spread = static_cast<int64_t>(Mix(static_cast<uint64_t>(Index / 2)) % 200000);
    int64_t Size = (Index % 2 == 0) ? Mean - Spread : Mean + Spread;
    if (Index == 0)
        Size += Total - Mean * Count;
    return Size;
}

class TBenchTrees {
public:
    static TBenchTrees& Instance() {
        static TBenchTrees Trees;
        return Trees;
    }

    const QString& Base() const { return FBase; }
    int64_t SourceBytes(TTree Tree) { return Ensure(Tree).Bytes; }
    QString Source(TTree Tree) { return Ensure(Tree).Source; }

    // A locker of the tree made once per process, for the extract runs.
    QString Locker(TTree Tree) {
        TState& S = Ensure(Tree);
        if (S.Locker.isEmpty()) {
            const QString Path = FBase + QStringLiteral("/%1.kvlocker").arg(QLatin1String(Shape(Tree).Name));
            // A locker kept in $KELVARN_BENCH_TREES from an earlier run is replaced.
            QString RecoveryCode;
            const TWorkflowResult Result = PublishLocker(S.Source, Path, BenchPassword, true, RecoveryCode);
            if (!Result.Ok())
                throw std::runtime_error("PublishLocker: " + Result.Text.toStdString());
            S.Locker = Path;
        }
        return S.Locker;
    }

    // Writes and deletes a large scratch file: this VM gives freed memory back to its host, which
    // makes the first large write after a pause several times slower than the ones that follow.
    void PrewarmWrites(int64_t Bytes) {
        const QString Path = FBase + QStringLiteral("/scratch.bin");
        WriteGeneratedFile(Path, std::max<int64_t>(Bytes, 256 * MiB), 99, FBuffer);
        ::unlink(QFile::encodeName(Path).constData());
    }

    // With KELVARN_BENCH_COLD set, each timed run starts with nothing of the trees in memory, as for
    // files the user has not read lately: the page cache is dropped when this process may (root),
    // else pushed out by writing and syncing a large file. Otherwise Input (a file, or a folder with
    // everything below it) is read into the cache first: a file read once leaves the cache when it
    // was not there, and the checked locker was never left in it, so warm runs would read from disk.
    void SetCaches(const QString& Input) {
        if (qEnvironmentVariableIsEmpty("KELVARN_BENCH_COLD")) {
            ReadIn(Input);
            return;
        }
        ::sync();
        const int Fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
        const bool Dropped = Fd >= 0 && ::write(Fd, "3", 1) == 1;
        if (Fd >= 0)
            ::close(Fd);
        if (!Dropped) {
            const QString Path = FBase + QStringLiteral("/evict.bin");
            WriteGeneratedFile(Path, 768 * MiB, 98, FBuffer);
            const int Out = ::open(QFile::encodeName(Path).constData(), O_RDONLY | O_CLOEXEC);
            if (Out >= 0) {
                (void)::fsync(Out);
                ::close(Out);
            }
            ::unlink(QFile::encodeName(Path).constData());
        }
        // The disk first finishes what earlier runs left queued (discards of freed blocks).
        ::sleep(1);
    }

    // Moves an extracted tree out of the way instead of deleting it: on a file system without a
    // journal, ext4 skips inodes freed in the last minutes when it allocates new ones, so deleting
    // 20000 files makes the next 20000 creations crawl. Everything goes at the end of the process,
    // or, in a kept folder, when the caller removes it (script/bench-engine does, after tar).
    void Discard(const QString& Path) {
        const QString Trash = FBase + QStringLiteral("/trash");
        QDir().mkpath(Trash);
        const QString Target = Trash + QStringLiteral("/%1-%2").arg(::getpid()).arg(++FDiscarded);
        if (!QDir().rename(Path, Target))
            QDir(Path).removeRecursively();
    }

    void ReadIn(const QString& Path) {
        if (QFileInfo(Path).isDir()) {
            const auto Items = QDir(Path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            for (const QFileInfo& Item : Items)
                ReadIn(Item.filePath());
            return;
        }
        const int Fd = ::open(QFile::encodeName(Path).constData(), O_RDONLY | O_CLOEXEC);
        if (Fd < 0)
            return;
        while (::read(Fd, FBuffer.data(), FBuffer.size()) > 0) {
        }
        ::close(Fd);
    }

    ~TBenchTrees() {
        for (TState& S : FStates) {
            if (!S.Locker.isEmpty())
                QFile::remove(S.Locker);
        }
        if (FOwned)
            QDir(FBase).removeRecursively();
    }

private:
    struct TState {
        bool Ready = false;
        QString Source;
        int64_t Bytes = 0;
        QString Locker;
    };

    TBenchTrees() : FBuffer(static_cast<size_t>(ChunkSize)) {
        const QByteArray Kept = qgetenv("KELVARN_BENCH_TREES");
        if (!Kept.isEmpty()) {
            FBase = QFile::decodeName(Kept);
            QDir().mkpath(FBase);
        } else {
            QByteArray Template("/tmp/kelvarn-bench-XXXXXX");
            if (!::mkdtemp(Template.data()))
                throw std::runtime_error("mkdtemp failed");
            FBase = QFile::decodeName(Template);
            FOwned = true;
        }
    }

    static const TTreeShape& Shape(TTree Tree) { return TreeShapes[static_cast<size_t>(Tree)]; }

    TState& Ensure(TTree Tree) {
        TState& S = FStates[static_cast<size_t>(Tree)];
        if (S.Ready)
            return S;
        const QString Folder = FBase + QLatin1Char('/') + QLatin1String(Shape(Tree).Name);
        // The marker sits beside the tree, never inside it, so that it is not packed.
        const QString Marker = Folder + QStringLiteral(".complete");
        if (!QFile::exists(Marker)) {
            QDir(Folder).removeRecursively();
            Generate(Tree, Folder);
            QFile MarkerFile(Marker);
            if (!MarkerFile.open(QIODevice::WriteOnly))
                throw std::runtime_error("cannot write marker");
        }
        S.Source = Shape(Tree).SingleFile ? Folder + QStringLiteral("/data.bin") : Folder;
        S.Bytes = Measure(Folder);
        S.Ready = true;
        return S;
    }

    void Generate(TTree Tree, const QString& Folder) {
        QDir().mkpath(Folder);
        switch (Tree) {
        case TTree::OneFile:
            WriteGeneratedFile(Folder + QStringLiteral("/data.bin"), 1024 * MiB, 1, FBuffer);
            break;
        case TTree::MediumFiles:
            for (int I = 0; I < 2000; ++I) {
                const QString Sub = Folder + QStringLiteral("/set-%1").arg(I / 100, 2, 10, QLatin1Char('0'));
                if (I % 100 == 0)
                    QDir().mkpath(Sub);
                WriteGeneratedFile(Sub + QStringLiteral("/file-%1.bin").arg(I), MediumFileSize(I), 1000 + I, FBuffer);
            }
            break;
        case TTree::SmallFiles:
            for (int I = 0; I < 20000; ++I) {
                const QString Sub = Folder + QStringLiteral("/d%1/e%2").arg(I / 1000).arg((I / 100) % 10);
                if (I % 100 == 0)
                    QDir().mkpath(Sub);
                const int64_t Size = 512 + static_cast<int64_t>(Mix(static_cast<uint64_t>(I)) % 1025);
                WriteGeneratedFile(Sub + QStringLiteral("/note-%1.txt").arg(I), Size, 50000 + I, FBuffer);
            }
            break;
        }
    }

    static int64_t Measure(const QString& Folder) {
        int64_t Total = 0;
        const QFileInfoList Items = QDir(Folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QFileInfo& Item : Items)
            Total += Item.isDir() ? Measure(Item.filePath()) : Item.size();
        return Total;
    }

    QString FBase;
    bool FOwned = false;
    int FDiscarded = 0;
    std::array<TState, 3> FStates;
    std::vector<char> FBuffer;
};

// The peak resident set of the timed region alone: writing "5" to clear_refs resets VmHWM.
void ResetPeakRss() {
    const int Fd = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (Fd >= 0) {
        const ssize_t Ignored = ::write(Fd, "5", 1);
        (void)Ignored;
        ::close(Fd);
    }
}

double PeakRssMiB() {
    QFile Status(QStringLiteral("/proc/self/status"));
    if (!Status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray& Line : Status.readAll().split('\n')) {
        if (Line.startsWith("VmHWM:"))
            return Line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0.0;
}

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point From, TClock::time_point To) {
    return std::chrono::duration<double>(To - From).count();
}

void BM_Hide(benchmark::State& State, TTree Tree) {
    TBenchTrees& Trees = TBenchTrees::Instance();
    const QString Source = Trees.Source(Tree);
    const int64_t Bytes = Trees.SourceBytes(Tree);
    const QString LockerName = QStringLiteral("hide-run.kvlocker");
    double CreateTotal = 0, FlushTotal = 0, PeakRss = 0;
    for (auto _ : State) {
        Trees.PrewarmWrites(Bytes);
        Trees.SetCaches(Source);
        ResetPeakRss();
        const auto T0 = TClock::now();
        const TDirHandle Folder = TDirHandle::Open(Trees.Base(), true);
        QString Message;
        bool Verified = false;
        TClock::time_point T1, T3;
        {
            TPendingFile Temporary(Folder);
            const TLockerResult Result = CreateVerifiedLocker(Source, Temporary.Stream(), BenchPassword);
            T1 = TClock::now();
            Verified = Result.Success;
            if (!Result.Success)
                Message = Result.MessageText;
            if (Verified)
                Temporary.Commit(LockerName, false);
            T3 = TClock::now();
        }
        PeakRss = std::max(PeakRss, PeakRssMiB());
        QFile::remove(Trees.Base() + QLatin1Char('/') + LockerName);
        if (!Verified) {
            State.SkipWithError(Message.toStdString().c_str());
            return;
        }
        CreateTotal += Seconds(T0, T1);
        FlushTotal += Seconds(T1, T3);
        State.SetIterationTime(Seconds(T0, T3));
    }
    const double Runs = static_cast<double>(State.iterations());
    State.SetBytesProcessed(State.iterations() * Bytes);
    State.counters["create_s"] = CreateTotal / Runs;
    State.counters["flush_s"] = FlushTotal / Runs;
    State.counters["peak_rss_MiB"] = PeakRss;
    State.counters["source_MiB"] = static_cast<double>(Bytes) / MiB;
}

// Heap bytes the writer's entry list of the tree takes, per entry, beside the bytes of the stored
// paths themselves (UTF-16, as they are held).
void BM_EntryList(benchmark::State& State, TTree Tree) {
    TBenchTrees& Trees = TBenchTrees::Instance();
    const QString Source = Trees.Source(Tree);
    double PerEntry = 0, PathBytes = 0;
    for (auto _ : State) {
        QList<TEntryInfo> List;
        // Large blocks (the list's own array) are mapped apart from the heap's arena: both count.
        const struct mallinfo2 Start = mallinfo2();
        CollectEntries(Source, Source, List, false);
        const struct mallinfo2 End = mallinfo2();
        const double Before = static_cast<double>(Start.uordblks + Start.hblkhd);
        const double After = static_cast<double>(End.uordblks + End.hblkhd);
        double Paths = 0;
        for (const TEntryInfo& Entry : List)
            Paths += 2.0 * static_cast<double>(Entry.RelativePath.size());
        PerEntry = (After - Before) / static_cast<double>(List.size());
        PathBytes = Paths / static_cast<double>(List.size());
    }
    State.counters["bytes_per_entry"] = PerEntry;
    State.counters["path_bytes_per_entry"] = PathBytes;
}

void BM_Extract(benchmark::State& State, TTree Tree) {
    TBenchTrees& Trees = TBenchTrees::Instance();
    const int64_t Bytes = Trees.SourceBytes(Tree);
    const QString Locker = Trees.Locker(Tree);
    const QString Dest = Trees.Base() + QStringLiteral("/extract-run");
    double PeakRss = 0;
    for (auto _ : State) {
        Trees.Discard(Dest);
        Trees.PrewarmWrites(Bytes);
        Trees.SetCaches(Locker);
        ResetPeakRss();
        const auto T0 = TClock::now();
        const TLockerResult Result = ExtractLocker(Locker, Dest, BenchPassword);
        const auto T1 = TClock::now();
        PeakRss = std::max(PeakRss, PeakRssMiB());
        Trees.Discard(Dest);
        if (!Result.Success) {
            State.SkipWithError(Result.MessageText.toStdString().c_str());
            return;
        }
        State.SetIterationTime(Seconds(T0, T1));
    }
    State.SetBytesProcessed(State.iterations() * Bytes);
    State.counters["peak_rss_MiB"] = PeakRss;
    State.counters["source_MiB"] = static_cast<double>(Bytes) / MiB;
}

// Opening a locker with the right password (VerifyLocker: one slot, one MAC over the payload), and
// unhiding with a wrong one, which learns that only after both slots' MACs over the payload.
void BM_Open(benchmark::State& State, TTree Tree, bool RightSecret) {
    TBenchTrees& Trees = TBenchTrees::Instance();
    const QString Locker = Trees.Locker(Tree);
    const int64_t Bytes = QFileInfo(Locker).size();
    const QString Dest = Trees.Base() + QStringLiteral("/wrong-run");
    for (auto _ : State) {
        Trees.SetCaches(Locker);
        const auto T0 = TClock::now();
        bool Expected = false;
        QString Message;
        if (RightSecret) {
            Expected = VerifyLocker(Locker, BenchPassword, Message);
        } else {
            const TLockerResult Result = ExtractLocker(Locker, Dest, QStringLiteral("not the password"));
            Expected = !Result.Success && Result.WrongSecret;
            Message = Result.MessageText;
        }
        const auto T1 = TClock::now();
        if (!Expected) {
            State.SkipWithError(Message.toStdString().c_str());
            return;
        }
        State.SetIterationTime(Seconds(T0, T1));
    }
    State.SetBytesProcessed(State.iterations() * Bytes);
}

} // namespace

BENCHMARK_CAPTURE(BM_Open, VerifyOneGiB, TTree::OneFile, true)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Open, WrongSecretOneGiB, TTree::OneFile, false)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Hide, OneGiB, TTree::OneFile)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Hide, Files2000, TTree::MediumFiles)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Hide, Files20000, TTree::SmallFiles)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EntryList, Files20000, TTree::SmallFiles)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Extract, OneGiB, TTree::OneFile)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Extract, Files2000, TTree::MediumFiles)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Extract, Files20000, TTree::SmallFiles)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
