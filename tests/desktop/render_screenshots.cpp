// render_screenshots: shows the program's windows in each language on a real display (xcb, under
// a window manager) and saves each, title bar included, as a PNG for the documentation, through
// xwininfo and ImageMagick's import: the main window idle, during a batch and with its Language
// menu open, the conflict prompt, the About box, the import chooser and the password dialogs.
// script/screenshots runs it under a private Xvfb.
//
// Usage: render_screenshots --out DIR --fixture DIR --catalogue DIR [--languages en,de,ar,cn]
//   --fixture   an empty or missing folder to fill with the listed paths; it stands for a user's
//               home, so that the list reads like one
//   --catalogue the folder holding transl.dt
#include "mainwindow/AppIcons.h"
#include "dialogs/DialogSeam.h"
#include "mainwindow/LanguageDirection.h"
#include "mainwindow/OpenLockerFileDialog.h"
#include "platform/PlatformEnvironment.h"
#include "platform/PlatformUserStore.h"
#include "shellbrowser/ShellBrowser.h"
#include "mainwindow/UnitMain.h"
#include "dialogs/UnitPassword.h"
#include "app/VisualStyle.h"
#include "translation/translation.h"
#include "dialogs/uPasswordSet.h"
#include "settings/uSettings.h"
#include "workflow/uWorkflow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCursor>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QWindow>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

const QString FixturePassword = QStringLiteral("Anna's fixture 2025");

[[noreturn]] void Die(const QString& Message) {
    throw std::runtime_error(Message.toStdString());
}

void Note(const QString& Message) {
    std::fprintf(stderr, "%s\n", qPrintable(Message));
}

// Keeps the event loop turning until Done holds or TimeoutMs passes; the window manager and the
// X server answer asynchronously.
bool WaitUntil(const std::function<bool()>& Done, int TimeoutMs) {
    QElapsedTimer Clock;
    Clock.start();
    while (!Done()) {
        if (Clock.elapsed() > TimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

void Settle(int Ms) {
    WaitUntil([] { return false; }, Ms);
}

void WriteFile(const QString& Path, const QByteArray& Bytes) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile File(Path);
    if (!File.open(QIODevice::WriteOnly) || File.write(Bytes) != Bytes.size())
        Die(QStringLiteral("cannot write ") + Path);
}

// A folder hidden as the program hides it: packed into its locker, then removed.
void HideFolder(const QString& Folder) {
    QString RecoveryCode;
    const TWorkflowResult Result =
        PublishLocker(Folder, Folder + QStringLiteral(".kvlocker"), FixturePassword, false, RecoveryCode);
    if (!Result.Ok())
        Die(QStringLiteral("cannot create the locker of ") + Folder + QStringLiteral(": ") + Result.Text);
    if (!QDir(Folder).removeRecursively())
        Die(QStringLiteral("cannot remove ") + Folder);
}

// The import chooser shows modification times: fixed ones keep its picture the same from day to day.
void FixTimes(const QString& Home) {
    const timespec When{1741953600, 0}; // 2025-03-14 12:00 UTC
    const timespec Times[2] = {When, When};
    QDirIterator Entries(Home, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    QStringList Paths{Home};
    while (Entries.hasNext())
        Paths.append(Entries.next());
    for (const QString& Path : Paths)
        if (utimensat(AT_FDCWD, QFile::encodeName(Path).constData(), Times, AT_SYMLINK_NOFOLLOW) != 0)
            Die(QStringLiteral("cannot set the time of ") + Path);
}

// The rows of the main window: folders and a file of a home, two of them hidden in lockers; five,
// so that a batch over all of them reads "2/5".
QStringList MakeFixture(const QString& Home) {
    // Never anyone's real files: the folder is made here or is empty.
    if (!QDir(Home).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        Die(QStringLiteral("the fixture folder is not empty: ") + Home);
    const QString Tax = Home + QStringLiteral("/Documents/Tax 2025");
    WriteFile(Tax + QStringLiteral("/receipts.csv"), "date,amount\n2025-01-15,120.00\n");
    WriteFile(Tax + QStringLiteral("/return.pdf"), QByteArray(2048, 'x'));
    const QString Family = Home + QStringLiteral("/Pictures/Family");
    WriteFile(Family + QStringLiteral("/beach.jpg"), QByteArray(4096, 'b'));
    WriteFile(Family + QStringLiteral("/birthday.jpg"), QByteArray(4096, 'c'));
    const QString Passport = Home + QStringLiteral("/Documents/Passport scan.pdf");
    WriteFile(Passport, QByteArray(3072, 'p'));
    const QString Diary = Home + QStringLiteral("/Diary");
    WriteFile(Diary + QStringLiteral("/2025-03.txt"), "A quiet month.\n");
    const QString Holiday = Home + QStringLiteral("/Videos/Holiday 2024");
    WriteFile(Holiday + QStringLiteral("/harbour.mp4"), QByteArray(8192, 'v'));
    // A locker whose path is no longer listed: what Import Locker is for.
    const QString Letters = Home + QStringLiteral("/Documents/Old letters");
    WriteFile(Letters + QStringLiteral("/1998.txt"), "Dear Anna,\n");
    HideFolder(Family);
    HideFolder(Diary);
    HideFolder(Letters);
    FixTimes(Home);
    return {Tax, Family, Passport, Diary, Holiday};
}

void UseLanguage(const QString& Code) {
    if (!WriteUserStoreString(QStringLiteral("CurrentLanguage"), Code))
        Die(QStringLiteral("cannot store the language choice"));
    LoadTranslation();
    if (CurrentLanguageCode != Code)
        Die(QStringLiteral("the catalogue has no language ") + Code);
    ApplyLanguageDirection();
}

// Without a font for the script, every character would be drawn as an empty box.
void RequireFontsFor(const QString& Code) {
    QFontDatabase::WritingSystem System = QFontDatabase::Latin;
    QString Package = QStringLiteral("fonts-dejavu-core");
    if (Code == QStringLiteral("ar")) {
        System = QFontDatabase::Arabic;
    } else if (Code == QStringLiteral("cn")) {
        System = QFontDatabase::SimplifiedChinese;
        Package = QStringLiteral("fonts-wqy-microhei");
    }
    if (QFontDatabase::families(System).isEmpty())
        Die(QStringLiteral("no font covers the language ") + Code + QStringLiteral("; install ") + Package);
}

// Runs Program with Arguments to its end; its standard output, or a failure naming it.
QString RunTool(const QString& Program, const QStringList& Arguments) {
    QProcess Tool;
    Tool.start(Program, Arguments);
    if (!Tool.waitForFinished(30000) || Tool.exitStatus() != QProcess::NormalExit || Tool.exitCode() != 0)
        Die(Program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(Tool.readAllStandardError()));
    return QString::fromLocal8Bit(Tool.readAllStandardOutput());
}

// True once the window manager has put the window into its frame: its parent is no longer the root.
bool IsFramed(WId Window) {
    const QString Tree =
        RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), QString::number(Window)});
    for (const QString& Line : Tree.split(QLatin1Char('\n')))
        if (Line.trimmed().startsWith(QStringLiteral("Parent window id:")))
            return !Line.contains(QStringLiteral("(the root window)"));
    return false;
}

// Shows Window and waits until the window manager has framed and activated it and its contents
// are painted; its X window.
WId ShowFramed(QWidget* Window, const QString& File) {
    // The pointer goes to a corner no window covers, so that nothing shows a hover highlight.
    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        QCursor::setPos(Screen->geometry().bottomRight());
    Window->show();
    Window->raise();
    Window->activateWindow();
    if (!WaitUntil([Window] { return Window->windowHandle() != nullptr && Window->windowHandle()->isExposed(); },
                   10000))
        Die(QStringLiteral("the window for ") + File + QStringLiteral(" was never shown"));
    const WId Id = Window->winId();
    if (!WaitUntil([Id] { return IsFramed(Id); }, 10000))
        Die(QStringLiteral("no window manager framed the window for ") + File);
    if (!WaitUntil([Window] { return Window->isActiveWindow(); }, 5000))
        Note(QStringLiteral("note: the window for ") + File + QStringLiteral(" did not become active"));
    // The frame and the contents are painted after the last of these events.
    Settle(400);
    return Id;
}

void CheckPicture(const QString& File) {
    const QImage Shot(File);
    if (Shot.isNull())
        Die(QStringLiteral("no picture in ") + File);
    Note(QStringLiteral("wrote %1 (%2x%3)").arg(File).arg(Shot.width()).arg(Shot.height()));
}

// Saves what the screen shows of Window, frame and title bar included.
void Capture(QWidget* Window, const QString& File) {
    const WId Id = ShowFramed(Window, File);
    RunTool(QStringLiteral("/usr/bin/import"),
            {QStringLiteral("-frame"), QStringLiteral("-window"), QString::number(Id), File});
    CheckPicture(File);
}

// Open menus are windows of their own, outside the main window's frame: the whole screen is saved
// and cut to the frame and the menus together.
void CaptureWithMenus(const QWidget& Window, const QList<const QWidget*>& Menus, const QString& File) {
    QRect Area = Window.frameGeometry();
    for (const QWidget* Menu : Menus)
        Area = Area.united(Menu->geometry());
    const QString Screen = File + QStringLiteral(".screen.png");
    RunTool(QStringLiteral("/usr/bin/import"), {QStringLiteral("-window"), QStringLiteral("root"), Screen});
    const QImage Whole(Screen);
    QFile::remove(Screen);
    if (Whole.isNull())
        Die(QStringLiteral("no picture of the screen for ") + File);
    Area = Area.intersected(Whole.rect());
    if (Area.isEmpty() || !Whole.copy(Area).save(File))
        Die(QStringLiteral("cannot write ") + File);
    CheckPicture(File);
}

// Opens Tools and its Language submenu as a click on each would.
void OpenLanguageMenu(TfrmMain& Main, const QString& File) {
    Main.menuBar()->setActiveAction(Main.ools1->menuAction());
    if (!WaitUntil([&Main] { return Main.ools1->isVisible(); }, 5000))
        Die(QStringLiteral("the Tools menu did not open for ") + File);
    Main.ools1->setActiveAction(Main.mmLanguage->menuAction());
    if (!WaitUntil([&Main] { return Main.mmLanguage->isVisible(); }, 5000))
        Die(QStringLiteral("the Language menu did not open for ") + File);
    Settle(400);
}

// The About box's text, as the main window's About command composes it.
QString AboutText(TfrmMain& Main) {
    DialogSeam::Install();
    DialogSeam::ClearShown();
    Main.btnAboutProgramClick();
    const QList<TShownDialog> Shown = DialogSeam::Shown();
    DialogSeam::Remove();
    if (Shown.size() != 1 || Shown.first().What != TShownDialog::Message)
        Die(QStringLiteral("the About command showed no message box"));
    return Shown.first().Text;
}

// The conflict prompt's text for Path, as the restore composes it when the item and its locker
// both exist.
QString ConflictText(TfrmMain& Main, const QString& Path) {
    DialogSeam::Install();
    DialogSeam::ClearShown();
    Main.AskRestoreConflict(Path);
    const QList<TShownDialog> Shown = DialogSeam::Shown();
    DialogSeam::Remove();
    if (Shown.size() != 1 || Shown.first().What != TShownDialog::Message ||
        Shown.first().Buttons != TMsgButtons::YesNoCancel)
        Die(QStringLiteral("the conflict prompt showed no Yes/No/Cancel box"));
    return Shown.first().Text;
}

void RenderLanguage(const QString& Code, const QStringList& Rows, const QString& Out) {
    UseLanguage(Code);
    RequireFontsFor(Code);
    const QString Suffix = QStringLiteral("-") + Code + QStringLiteral(".png");

    GeneralPassword = FixturePassword;
    StrongHide = true;
    PathList = Rows;
    {
        TfrmMain Main;
        if (Main.ListViewPaths->topLevelItemCount() != Rows.size())
            Die(QStringLiteral("the main window lists %1 of %2 paths")
                    .arg(Main.ListViewPaths->topLevelItemCount())
                    .arg(Rows.size()));
        Main.ListViewPaths->setCurrentItem(Main.ListViewPaths->topLevelItem(0));
        Capture(&Main, Out + QStringLiteral("/main") + Suffix);

        {
            const QString File = Out + QStringLiteral("/language") + Suffix;
            ShowFramed(&Main, File);
            OpenLanguageMenu(Main, File);
            CaptureWithMenus(Main, {Main.ools1, Main.mmLanguage}, File);
            Main.mmLanguage->hide();
            Main.ools1->hide();
        }

        const std::unique_ptr<QMessageBox> Conflict =
            MakeMessageBox(ConflictText(Main, Rows.at(1)), TMsgKind::Warning, TMsgButtons::YesNoCancel);
        Capture(Conflict.get(), Out + QStringLiteral("/conflict") + Suffix);
        Conflict->hide();

        {
            // A batch over every row, staged at its second item: the work itself would make the
            // picture depend on timing. After the idle views: the counter stays once a batch ends.
            Main.ListViewPaths->setCurrentItem(Main.ListViewPaths->topLevelItem(1));
            Main.BeginBusy(static_cast<int>(Rows.size()));
            Main.FCurrentItemIndex = 2;
            Main.UpdateProgressText();
            Main.ProgressBar1->setValue(Main.ProgressBar1->maximum() * 2 / 5);
            Capture(&Main, Out + QStringLiteral("/progress") + Suffix);
            Main.EndBusy();
            Main.ListViewPaths->setCurrentItem(Main.ListViewPaths->topLevelItem(0));
        }

        const std::unique_ptr<QMessageBox> About =
            MakeMessageBox(AboutText(Main), TMsgKind::Information, TMsgButtons::OK);
        Capture(About.get(), Out + QStringLiteral("/about") + Suffix);
        About->hide();
        Main.hide();
    }

    {
        // The import chooser in the folder of the lost locker, with the locker selected.
        TfrmOpenLocker Import;
        const QString Documents = QFileInfo(Rows.at(0)).path();
        const QString Lost = Documents + QStringLiteral("/Old letters.kvlocker");
        Import.JamShellList1->SetFolder(Documents);
        QElapsedTimer Waited;
        Waited.start();
        while (!Import.JamShellList1->SelectPath(Lost)) {
            if (Waited.elapsed() > 10000)
                Die(QStringLiteral("the import chooser does not list ") + Lost);
            Settle(50);
        }
        Capture(&Import, Out + QStringLiteral("/import") + Suffix);
        Import.hide();
    }
    {
        TfrmPassword Password;
        Capture(&Password, Out + QStringLiteral("/password") + Suffix);
        Password.hide();
    }
    {
        TfrmPasswordSet PasswordSet;
        // As when changing the password: both fields hold it, masked.
        PasswordSet.Edit1->setText(FixturePassword);
        PasswordSet.Edit2->setText(FixturePassword);
        Capture(&PasswordSet, Out + QStringLiteral("/set-password") + Suffix);
        PasswordSet.hide();
    }
    PathList.clear();
    GeneralPassword.clear();
}

int Run(QApplication& App) {
    QCommandLineParser Parser;
    Parser.setApplicationDescription(QStringLiteral("Saves the program's windows as PNG files."));
    Parser.addHelpOption();
    const QCommandLineOption OutOption(QStringLiteral("out"), QStringLiteral("Folder for the PNG files."),
                                       QStringLiteral("dir"));
    const QCommandLineOption FixtureOption(QStringLiteral("fixture"), QStringLiteral("Folder for the listed paths."),
                                           QStringLiteral("dir"));
    const QCommandLineOption CatalogueOption(QStringLiteral("catalogue"),
                                             QStringLiteral("Folder that holds transl.dt."), QStringLiteral("dir"));
    const QCommandLineOption LanguagesOption(QStringLiteral("languages"),
                                             QStringLiteral("Language codes, comma-separated."),
                                             QStringLiteral("codes"), QStringLiteral("en,de,ar,cn"));
    Parser.addOptions({OutOption, FixtureOption, CatalogueOption, LanguagesOption});
    Parser.process(App);
    for (const QCommandLineOption& Required : {OutOption, FixtureOption, CatalogueOption})
        if (!Parser.isSet(Required))
            Die(QStringLiteral("--") + Required.names().first() + QStringLiteral(" is required"));
    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
        Die(QStringLiteral("needs the xcb platform (an X display with a window manager), not ") +
            QGuiApplication::platformName());

    const QString Out = QDir(Parser.value(OutOption)).absolutePath();
    QDir().mkpath(Out);
    const QString Catalogue = QDir(Parser.value(CatalogueOption)).absolutePath();
    if (!QFile::exists(Catalogue + QStringLiteral("/transl.dt")))
        Die(QStringLiteral("no transl.dt in ") + Catalogue);

    // Nothing of the person running this: a private config folder and a made-up identity.
    QTemporaryDir Config;
    if (!Config.isValid())
        Die(QStringLiteral("cannot make a temporary folder"));
    SetConfigFolderOverride(Config.path());
    SetIdentityOverride(QStringLiteral("anna-laptop"), QStringLiteral("anna"));
    SetTranslationFolderOverride(Catalogue);

    InitGuiResources();
    QApplication::setWindowIcon(AppIcon(QStringLiteral("nvlkelvarn")));
    if (!ApplyVisualStyle())
        Die(QStringLiteral("the visual style could not be applied"));
    QCoreApplication::setApplicationName(ApplicationTitle());

    const QStringList Rows = MakeFixture(QDir(Parser.value(FixtureOption)).absolutePath());
    for (const QString& Code : Parser.value(LanguagesOption).split(QLatin1Char(','), Qt::SkipEmptyParts))
        RenderLanguage(Code.trimmed(), Rows, Out);
    SetConfigFolderOverride(QString());
    SetIdentityOverride(QString(), QString());
    SetTranslationFolderOverride(QString());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    try {
        return Run(App);
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "render_screenshots: %s\n", Error.what());
        return 1;
    }
}
