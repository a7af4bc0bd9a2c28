#include "cli/CliArguments.h"
#include "cli/CliCommands.h"

namespace {

TCliCommand CommandFromName(const QString& Name) {
    if (Name == QLatin1String("create"))
        return TCliCommand::Create;
    if (Name == QLatin1String("extract"))
        return TCliCommand::Extract;
    if (Name == QLatin1String("verify"))
        return TCliCommand::Verify;
    if (Name == QLatin1String("info"))
        return TCliCommand::Info;
    return TCliCommand::None;
}

void CheckOperandCount(const TCliArguments& Args, const QString& Name, int Min, int Max) {
    const int Count = Args.Operands.size();
    if (Count < Min)
        throw ECliUsageError(QStringLiteral("%1: missing operand").arg(Name));
    if (Count > Max)
        throw ECliUsageError(
            QStringLiteral("%1: unexpected operand \"%2\"").arg(Name, TerminalName(Args.Operands.at(Max))));
}

} // namespace

TCliArguments ParseCliArguments(const QStringList& Arguments) {
    TCliArguments Args;
    QString CommandName;
    QStringList Unknown;
    bool OptionsEnded = false;
    for (const QString& Arg : Arguments) {
        if (!OptionsEnded && Arg == QLatin1String("--")) {
            OptionsEnded = true;
        } else if (!OptionsEnded && Arg.startsWith(QLatin1Char('-')) && Arg.size() > 1) {
            if (Arg == QLatin1String("--help") || Arg == QLatin1String("-h"))
                Args.Help = true;
            else if (Arg == QLatin1String("--force") || Arg == QLatin1String("-f"))
                Args.Force = true;
            else if (Arg == QLatin1String("--password-stdin"))
                Args.PasswordStdin = true;
            else if (Arg == QLatin1String("--version"))
                Args.Version = true;
            else
                Unknown << Arg;
        } else if (CommandName.isNull()) {
            CommandName = Arg;
        } else {
            Args.Operands << Arg;
        }
    }
    if (CommandName == QLatin1String("help"))
        Args.Help = true;
    if (Args.Help || Args.Version)
        return Args;
    if (!Unknown.isEmpty())
        throw ECliUsageError(QStringLiteral("unknown option \"%1\"").arg(TerminalName(Unknown.first())));
    if (CommandName.isNull())
        throw ECliUsageError(QStringLiteral("no command given"));
    Args.Command = CommandFromName(CommandName);
    switch (Args.Command) {
    case TCliCommand::Create:
        CheckOperandCount(Args, CommandName, 1, 2);
        break;
    case TCliCommand::Extract:
        CheckOperandCount(Args, CommandName, 1, 2);
        break;
    case TCliCommand::Verify:
    case TCliCommand::Info:
        CheckOperandCount(Args, CommandName, 1, 1);
        break;
    case TCliCommand::None:
        throw ECliUsageError(QStringLiteral("unknown command \"%1\"").arg(TerminalName(CommandName)));
    }
    for (const QString& Operand : std::as_const(Args.Operands)) {
        if (Operand.isEmpty())
            throw ECliUsageError(QStringLiteral("%1: empty path").arg(CommandName));
    }
    if (Args.Force && Args.Command != TCliCommand::Create && Args.Command != TCliCommand::Extract)
        throw ECliUsageError(QStringLiteral("%1: --force applies to create and extract only").arg(CommandName));
    if (Args.PasswordStdin && Args.Command == TCliCommand::Info)
        throw ECliUsageError(QStringLiteral("info: needs no password, --password-stdin does not apply"));
    return Args;
}

QString CliUsageText() {
    return QStringLiteral("Usage: kvlocker create [--force] [--password-stdin] SOURCE [LOCKER]\n"
                          "       kvlocker extract [--force] [--password-stdin] LOCKER [FOLDER]\n"
                          "       kvlocker verify [--password-stdin] LOCKER\n"
                          "       kvlocker info LOCKER\n"
                          "       kvlocker --help | help\n"
                          "       kvlocker --version\n");
}

QString CliHelpText() {
    return CliUsageText() +
           QStringLiteral(
               "\n"
               "Packs a file, or a folder with everything below it, into one encrypted and authenticated\n"
               "locker file (AES-256, HMAC-SHA256), and back. The password or the locker's recovery code opens it.\n"
               "\n"
               "Commands:\n"
               "  create SOURCE [LOCKER]   Pack SOURCE into LOCKER (default: SOURCE.kvlocker beside it).\n"
               "                           The password is asked twice. The new locker is read back and checked\n"
               "                           before it takes its name. Its recovery code is printed on standard\n"
               "                           output: keep it safe, it opens the locker when the password is lost.\n"
               "                           SOURCE is never changed. An existing LOCKER is never replaced\n"
               "                           unless --force is given; even then it is replaced only after the\n"
               "                           new locker was written and checked in full.\n"
               "  extract LOCKER [FOLDER]  Rebuild the packed file or folder inside FOLDER (default: the\n"
               "                           locker's folder), with the password or the recovery code. The\n"
               "                           item is rebuilt aside and moved into place only when complete; an\n"
               "                           item of the same name in FOLDER is never touched unless --force is\n"
               "                           given. With --force the contents are written into FOLDER directly:\n"
               "                           existing files of the same names are replaced, existing folders\n"
               "                           are reused, other files are left alone. The locker is kept.\n"
               "                           The recovery code may be typed in either case; hyphens and spaces\n"
               "                           in it are ignored.\n"
               "  verify LOCKER            Check that the password opens LOCKER and that its contents are\n"
               "                           authentic. The recovery code is not accepted here.\n"
               "  info LOCKER              Show the format version, the key-derivation iteration counts and\n"
               "                           the payload length. No password is needed.\n"
               "\n"
               "Options:\n"
               "  -f, --force              create: replace an existing LOCKER file.\n"
               "                           extract: write into existing items of the same name.\n"
               "      --password-stdin     Read the password or recovery code as the first line of standard\n"
               "                           input instead of asking on the terminal (asked once, even for create).\n"
               "  -h, --help, help         Show this help.\n"
               "      --version            Show the program's version.\n"
               "  --                       Everything after it is an operand, even when it starts with \"-\".\n"
               "\n"
               "Without --password-stdin the secret is asked on the terminal without echo. A progress bar\n"
               "with bytes and speed is drawn on standard error when it is a terminal. Ctrl-C during create,\n"
               "extract or verify stops the operation cleanly: a locker being created is removed, an extraction\n"
               "being rebuilt aside is removed (with --force, items already written stay).\n"
               "\n"
               "Exit status: 0 on success, 1 on failure (the reason is printed on standard error),\n"
               "2 on wrong usage, 130 when stopped by Ctrl-C (128 plus the signal's number: 143 after\n"
               "SIGTERM, 129 after SIGHUP).\n");
}
