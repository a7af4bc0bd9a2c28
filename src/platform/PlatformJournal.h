#pragma once

#include "platform/PlatformFiles.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

class TDirHandle;

// The private journal of leftovers: before a temporary file, a staging folder or an item set aside
// is made under a private name, a record of it is written into a folder of the user's own
// ($XDG_STATE_HOME/NVL Kelvarn/journal, else ~/.local/state/NVL Kelvarn/journal, mode 0700). A
// leftover is recognised by its record and by its identity, never by its name alone: a folder that
// someone else gave a look-alike name is never touched. A living record is locked by its owner, so
// that only those of ended processes are taken up as leftovers.

enum class TLeftoverKind { TemporaryFile, StagingFolder, Aside };

struct TLeftoverRecord {
    TLeftoverKind Kind = TLeftoverKind::TemporaryFile;
    TFileIdentity Folder;      // the folder that holds it
    QString FolderPath;        // for messages
    QString Name;              // its private name in Folder
    QString ItemName;          // Aside: the name it is put back under
    TFileIdentity Identity;    // zero until it exists
    int64_t DeletingSince = 0; // Aside: coarse clock (ns) when its deletion began; 0 before
};

class TJournalEntry {
public:
    TJournalEntry() = default;
    // Writes the record and locks it. Durable waits until it is on disk (an item set aside must
    // never be forgotten); a temporary file or staging folder that is forgotten only stays as litter.
    TJournalEntry(const TDirHandle& Folder, TLeftoverKind Kind, const QString& Name,
                  const QString& ItemName = QString(), const TFileIdentity& Identity = TFileIdentity(),
                  bool Durable = false);
    ~TJournalEntry();
    TJournalEntry(TJournalEntry&& Other) noexcept;
    TJournalEntry& operator=(TJournalEntry&& Other) noexcept;
    TJournalEntry(const TJournalEntry&) = delete;
    TJournalEntry& operator=(const TJournalEntry&) = delete;

    bool IsOpen() const { return FFd >= 0; }
    const TLeftoverRecord& Record() const { return FRecord; }
    // Neither raises: a line that is lost costs only the tidying of one leftover.
    void SetIdentity(const TFileIdentity& Identity);
    // Returns the coarse clock stamp written: entries changed at or after it are not the ones compared.
    int64_t MarkDeleting();
    // The thing is gone (or was given its final name): the record goes.
    void Finish();
    // Ends this process's hold, leaving the record for the next operation in that folder.
    void Release();

    // The records of Folder whose owners have ended, each locked for the caller.
    static std::vector<TJournalEntry> LeftoversIn(const TDirHandle& Folder);
    // The journal's folder, created when missing.
    static QString FolderPath();

private:
    void Append(const QByteArray& Lines);

    TLeftoverRecord FRecord;
    QString FFile;
    int FFd = -1;
};

// A fresh private name for Kind ("tmp", "aside", "staging"): short, so that it fits wherever the
// item's own name does.
QString PrivateName(const char* Kind);
