#include "locker/uLockerPrefetch.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Larger files are read in large pieces, where the system's own read-ahead does the work.
constexpr int64_t SmallFile = 256 * 1024;
// How far ahead of the packing the hints may run, in entries and in file bytes: enough to keep the
// disk busy, little enough not to push out what the user is working with.
constexpr qsizetype MaxAheadEntries = 1024;
constexpr int64_t MaxAheadBytes = 32 * 1024 * 1024;
// At most this many files are hinted together.
constexpr qsizetype BatchEntries = 128;
// Too few files to be worth a thread.
constexpr qsizetype MinFiles = 64;

} // namespace

TPackPrefetch::TPackPrefetch(int RootFd, const QList<TEntryInfo>& Entries) {
    qsizetype Files = 0;
    FItems.reserve(static_cast<size_t>(Entries.size()));
    FBytesBefore.reserve(static_cast<size_t>(Entries.size()) + 1);
    int64_t Bytes = 0;
    for (const TEntryInfo& Entry : Entries) {
        FBytesBefore.push_back(Bytes);
        const bool Small = !Entry.IsDir && Entry.Size > 0 && Entry.Size <= SmallFile;
        if (Small) {
            ++Files;
            Bytes += Entry.Size;
        }
        FItems.push_back({QFile::encodeName(Entry.RelativePath).replace('\\', '/'), Entry.Identity.Ino,
                          Small ? Entry.Size : 0, Entry.IsDir});
    }
    FBytesBefore.push_back(Bytes);
    if (Files < MinFiles)
        return;
    FRootFd = ::fcntl(RootFd, F_DUPFD_CLOEXEC, 0);
    if (FRootFd >= 0)
        (void)FThread.Start([this] { Run(); });
}

TPackPrefetch::~TPackPrefetch() {
    FThread.StopAndJoin();
    if (FFolderFd >= 0)
        ::close(FFolderFd);
    if (FRootFd >= 0)
        ::close(FRootFd);
}

void TPackPrefetch::Advance(qsizetype Index) {
    {
        const std::lock_guard<std::mutex> Guard(FThread.Lock);
        FReached = Index;
    }
    FThread.Wake();
}

void TPackPrefetch::Run() {
    const auto Count = static_cast<qsizetype>(FItems.size());
    qsizetype Next = 0;
    while (Next < Count) {
        {
            std::unique_lock<std::mutex> Guard(FThread.Lock);
            const auto FarEnough = [&] {
                return Next - FReached <= MaxAheadEntries &&
                       FBytesBefore[static_cast<size_t>(Next)] - FBytesBefore[static_cast<size_t>(FReached)] <=
                           MaxAheadBytes;
            };
            if (!FarEnough()) {
                // Woken once the packing has used up half of what was hinted.
                qsizetype WakeAt = FReached;
                while (WakeAt < Next && !(Next - WakeAt <= MaxAheadEntries / 2 &&
                                          FBytesBefore[static_cast<size_t>(Next)] -
                                                  FBytesBefore[static_cast<size_t>(WakeAt)] <=
                                              MaxAheadBytes / 2))
                    ++WakeAt;
                FWakeAt.store(WakeAt, std::memory_order_relaxed);
                FThread.Changed.wait(Guard, [&] { return FThread.Stopping() || FarEnough(); });
            }
            if (FThread.Stopping())
                return;
            Next = std::max(Next, FReached);
        }
        // The next run of small files in one folder, up to a batch.
        while (Next < Count && FItems[static_cast<size_t>(Next)].Size == 0)
            ++Next;
        if (Next >= Count)
            break;
        const QByteArray& First = FItems[static_cast<size_t>(Next)].Path;
        const qsizetype Slash = First.lastIndexOf('/');
        const QByteArray Folder = Slash < 0 ? QByteArray() : First.left(Slash);
        qsizetype End = Next;
        while (End < Count && End - Next < BatchEntries) {
            const TItem& Item = FItems[static_cast<size_t>(End)];
            if (Item.IsDir)
                break;
            const qsizetype ItemSlash = Item.Path.lastIndexOf('/');
            if ((ItemSlash < 0 ? QByteArray() : Item.Path.left(ItemSlash)) != Folder)
                break;
            ++End;
        }
        Fetch(Next, End);
        Next = End;
    }
}

void TPackPrefetch::Fetch(qsizetype Begin, qsizetype End) {
    const TItem& First = FItems[static_cast<size_t>(Begin)];
    const qsizetype Slash = First.Path.lastIndexOf('/');
    const int Folder = FolderOf(Slash < 0 ? QByteArray() : First.Path.left(Slash));
    if (Folder < 0)
        return;
    std::vector<const TItem*> Order;
    for (qsizetype I = Begin; I < End; ++I)
        if (FItems[static_cast<size_t>(I)].Size > 0)
            Order.push_back(&FItems[static_cast<size_t>(I)]);
    std::sort(Order.begin(), Order.end(), [](const TItem* A, const TItem* B) { return A->Ino < B->Ino; });
    for (const TItem* Item : Order) {
        const qsizetype NameAt = Item->Path.lastIndexOf('/') + 1;
        // Never through a link, never waiting on a FIFO; and only the file the walk listed.
        const int Fd = ::openat(Folder, Item->Path.constData() + NameAt,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (Fd < 0)
            continue;
        struct stat St;
        if (::fstat(Fd, &St) == 0 && S_ISREG(St.st_mode) && static_cast<uint64_t>(St.st_ino) == Item->Ino)
            (void)::posix_fadvise(Fd, 0, Item->Size, POSIX_FADV_WILLNEED);
        ::close(Fd);
    }
}

int TPackPrefetch::FolderOf(const QByteArray& Path) {
    if (Path.isEmpty())
        return FRootFd;
    if (FFolderFd >= 0 && Path == FFolderPath)
        return FFolderFd;
    if (FFolderFd >= 0)
        ::close(FFolderFd);
    FFolderFd = -1;
    // One component at a time, never through a link.
    int Current = FRootFd;
    for (const QByteArray& Part : Path.split('/')) {
        const int Child = ::openat(Current, Part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (Current != FRootFd)
            ::close(Current);
        if (Child < 0)
            return -1;
        Current = Child;
    }
    FFolderFd = Current;
    FFolderPath = Path;
    return Current;
}
