#pragma once

#include "platform/PlatformFiles.h"
#include "platform/PlatformJournal.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/types.h>

// File operations relative to folders held open by descriptor. A path is resolved once, when its
// folder is opened; everything below it is reached by single names relative to held descriptors and
// never through a symbolic link, so an item renamed away or swapped for a link afterwards cannot
// redirect a write, a listing or a removal to somewhere else. Names given to these functions are
// single components (not empty, ".", "..", and without "/"). Failures raise EKelvarnError with the
// item's path (for the message only) and the system's message.

TFileIdentity IdentityOf(const struct stat& St);

class TDirHandle {
public:
    TDirHandle() = default;
    ~TDirHandle();
    TDirHandle(TDirHandle&& Other) noexcept;
    TDirHandle& operator=(TDirHandle&& Other) noexcept;
    TDirHandle(const TDirHandle&) = delete;
    TDirHandle& operator=(const TDirHandle&) = delete;

    // Opens the folder at Path; its last component must be a folder, not a link to one, unless
    // FollowLink allows a link there (a folder the user named, resolved this once).
    static TDirHandle Open(const QString& Path, bool FollowLink = false);
    // Takes over Fd, a folder the caller opened; O_PATH will do for work by name in it (a folder the
    // user may write to but not read). Path names it in messages.
    static TDirHandle Adopt(int Fd, QString Path) { return TDirHandle(Fd, std::move(Path)); }

    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }
    // The path the folder was reached by, for messages; it may no longer lead here.
    const QString& Path() const { return FPath; }
    QString ChildPath(const QString& Name) const;
    TDirHandle Duplicate() const;
    struct stat Stat() const;
    TFileIdentity Identity() const;

    // lstat of a child; false with errno kept (ENOENT when nothing is there).
    bool StatChild(const QString& Name, struct stat& St) const;
    // Opens a child folder, never through a link. When Expected is given, the folder opened must be
    // that one (the listing saw it), else it raises that the item changed.
    TDirHandle OpenFolder(const QString& Name, const TFileIdentity* Expected = nullptr) const;
    // Creates a new child folder (never an existing one) and opens it.
    TDirHandle CreateFolder(const QString& Name, mode_t Mode = 0700) const;
    // A new regular file, created exclusively (nothing may exist at the name), read and write.
    std::unique_ptr<TFileStream> CreateFile(const QString& Name, int Permissions = 0600) const;
    // The same, but nullptr when something already exists at the name.
    std::unique_ptr<TFileStream> CreateFileIfAbsent(const QString& Name, int Permissions = 0600) const;
    // An existing regular file for reading with a shared lock, never through a link; Expected as
    // for OpenFolder. Opened, when given, receives the file's attributes as it was opened.
    std::unique_ptr<TFileStream> OpenFileForReading(const QString& Name, const TFileIdentity* Expected = nullptr,
                                                    struct stat* Opened = nullptr) const;

    // Hidden entries included; links are reported as links. As ListFolder.
    QList<TDirEntry> List() const;
    // The same with names, kinds, sizes and identities only (Attributes 0): no hidden list or
    // extended attribute is read, for walks that need none, such as a deletion.
    QList<TDirEntry> ListKinds() const;
    // As List, but a regular file's system attribute is left out, for a caller that opens every
    // file anyway and reads it there (TFileStream::HasSystemAttribute): asked by name, it would cost
    // a lookup through /proc per file.
    QList<TDirEntry> ListLeavingFilesSystem() const;

    // The attribute bits of a child, as GetFileAttributes gives them.
    uint32_t ChildAttributes(const QString& Name) const;

    // Removes a file or link (never a folder).
    void Unlink(const QString& Name) const;
    // Removes an empty child folder.
    void RemoveEmptyFolder(const QString& Name) const;
    // Removes a child and, for a folder, everything below it, without following any link. Folders
    // of the user that deny writing are opened up first so that their content can go. Nothing
    // there is no error.
    void RemoveTree(const QString& Name) const;
    // Removes everything inside this folder; the folder stays.
    void RemoveContents() const;

    // Moves the child Name to Target/TargetName, never replacing anything there:
    // renameat2(RENAME_NOREPLACE), else link + unlink for a file or a placeholder folder for a folder.
    void RenameNoReplace(const QString& Name, const TDirHandle& Target, const QString& TargetName) const;
    // Moves the child Name to Target/TargetName, replacing a file or link there (renameat).
    void RenameReplace(const QString& Name, const TDirHandle& Target, const QString& TargetName) const;
    // Swaps the child Name with Target/TargetName in one step (renameat2(RENAME_EXCHANGE)): both
    // must exist. False with errno kept on failure (EINVAL where the file system has no exchange).
    bool Exchange(const QString& Name, const TDirHandle& Target, const QString& TargetName) const;

    void SetMode(mode_t Mode) const;
    // fsync of the folder, so that names created or moved in it reach the disk.
    void Sync() const;

private:
    TDirHandle(int Fd, QString Path) : FFd(Fd), FPath(std::move(Path)) {}
    enum class TListing { Kinds, Attributes, AttributesLeavingFilesSystem };
    QList<TDirEntry> ListEntries(TListing What) const;
    int FFd = -1;
    QString FPath;
};

// A private folder (mode 0700, the user's own) created inside Parent for work that must stay out of
// sight until it is complete. It is recorded in the journal before it is made, reached only through
// its descriptor, and removed with everything in it when the object goes, unless its content was
// moved out first.
class TStagingFolder {
public:
    explicit TStagingFolder(const TDirHandle& Parent);
    ~TStagingFolder();
    TStagingFolder(const TStagingFolder&) = delete;
    TStagingFolder& operator=(const TStagingFolder&) = delete;

    const TDirHandle& Folder() const { return FFolder; }
    const TDirHandle& Parent() const { return FParent; }
    // Moves the staged item Name into the parent folder as TargetName, never replacing anything.
    void MoveOut(const QString& Name, const QString& TargetName) const;
    // Swaps the staged item Name with the parent's TargetName in one step; what was there is then
    // staged under Name, and goes with the folder.
    bool ExchangeOut(const QString& Name, const QString& TargetName) const;
    // Removes the folder and its content now; raises on failure. Only the folder this object
    // created is removed, even if something else has taken its name meanwhile.
    void Remove();
    bool IsRemoved() const { return !FFolder.IsOpen(); }

private:
    TDirHandle FParent;
    TDirHandle FFolder;
    QString FName;
    TJournalEntry FEntry;
};

// A new file written under a private temporary name beside its final one (recorded in the journal
// first): created exclusively in a folder held open, reached only through its descriptor, and given
// its final name by Commit once it is whole and on disk. Unless committed, it is removed when the
// object goes, and only while its name still leads to it.
class TPendingFile {
public:
    // Creates the file in Folder with Permissions, less the umask; raises when it cannot be made.
    // The folder handle must outlive the object.
    explicit TPendingFile(const TDirHandle& Folder, int Permissions = 0600);
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    TFileStream& Stream() { return *FStream; }
    const TFileIdentity& Identity() const { return FIdentity; }
    QString Path() const { return FFolder.ChildPath(FName); }
    // fsync, rename to FinalName (replacing atomically with Replace, else never), fsync the folder.
    // Raises when the final name does not lead to this very file afterwards: someone who may write
    // in the folder swapped it, and what bears the name is not the file that was written.
    void Commit(const QString& FinalName, bool Replace);

private:
    bool LeadsHere(const QString& Name) const;

    const TDirHandle& FFolder;
    std::unique_ptr<TFileStream> FStream;
    QString FName;
    TFileIdentity FIdentity;
    TJournalEntry FEntry;
};

// Names of staging folders begin with this text; every private name begins with ".kvlocker-".
inline constexpr char StagingFolderPrefix[] = ".kvlocker-staging-";
inline constexpr char PrivateNamePrefix[] = ".kvlocker-";
// Removes the temporary files and staging folders that ended operations left in Folder: those the
// journal lists whose identity still matches. Items set aside are handed to Asides (when given) for
// the caller to settle, else left. Returns how many were removed; raises when one cannot be.
int RemoveLeftovers(const TDirHandle& Folder, std::vector<TJournalEntry>* Asides = nullptr);

// Test and measurement seam: called with the step's name just before certain steps of the
// descriptor-relative operations ("RemoveTree:descend", and the callers' own, such as the flushes),
// so that a test can swap an item for a link at exactly that moment, or a benchmark time a step.
// Empty by default.
using TFileStepHook = std::function<void(const char* Step, const QString& Path)>;
void SetFileStepHookForTest(TFileStepHook Hook);
void RunFileStepHook(const char* Step, const QString& Path);
