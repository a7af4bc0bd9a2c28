#pragma once

#include "locker/uLockerFormat.h"

#include "platform/PlatformThreads.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <cstdint>
#include <vector>

// Read-ahead for a packing: a thread of its own asks the system for the next small files' data
// while the current one is encrypted, so that files not read lately arrive many at a time instead of
// one read's wait each. Within a folder it opens them in the order of their inode numbers, close to
// their order on disk on ext4; they are still packed, and stored, in name order. Only a hint: what
// it opens it checks to be the file the walk listed, it never reads a byte into the engine, and any
// failure is ignored.
class TPackPrefetch {
public:
    // Entries: the walk's list, root first; RootFd: the packed folder, duplicated here.
    TPackPrefetch(int RootFd, const QList<TEntryInfo>& Entries);
    ~TPackPrefetch();
    TPackPrefetch(const TPackPrefetch&) = delete;
    TPackPrefetch& operator=(const TPackPrefetch&) = delete;

    // The packing has got to entry Index.
    void Reached(qsizetype Index) {
        if (Index >= FWakeAt.load(std::memory_order_relaxed))
            Advance(Index);
    }

private:
    struct TItem {
        QByteArray Path; // local form, below the root
        uint64_t Ino = 0;
        int64_t Size = 0;
        bool IsDir = false;
    };

    void Advance(qsizetype Index);
    void Run();
    // Hints the files of Items[Begin, End), all in one folder.
    void Fetch(qsizetype Begin, qsizetype End);
    int FolderOf(const QByteArray& Path);

    int FRootFd = -1;
    std::vector<TItem> FItems;
    std::vector<int64_t> FBytesBefore; // file bytes of the items before each index
    qsizetype FReached = 0;            // under FThread.Lock
    std::atomic<qsizetype> FWakeAt{0};
    // The folder last opened, by path.
    QByteArray FFolderPath;
    int FFolderFd = -1;
    TWorkerThread FThread; // last: it goes first, while what it uses is still there
};
