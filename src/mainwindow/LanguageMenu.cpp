// The Language menu: one checkable item per catalogue column, in the language's own name.
#include "mainwindow/LanguageDirection.h"
#include "mainwindow/UnitMain.h"
#include "translation/translation.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QTranslator>

namespace {

// Qt's catalogue names for our language codes; a language Qt has no catalogue for stays English
// in Qt's own texts (the file chooser, the list headers).
QString QtLocaleNameFor(const QString& Code) {
    static const QHash<QString, QString> Names = {{QStringLiteral("cn"), QStringLiteral("zh_CN")},
                                                  {QStringLiteral("jp"), QStringLiteral("ja")},
                                                  {QStringLiteral("kr"), QStringLiteral("ko")},
                                                  {QStringLiteral("pt"), QStringLiteral("pt_BR")}};
    return Names.value(Code, Code);
}

void ApplyQtTranslation(const QString& Code) {
    // Numbers, dates and file types (the chooser's "bytes", month names, "unknown") follow the
    // default locale.
    QLocale::setDefault(
        QLocale(Code.isEmpty() || Code == QLatin1String("en") ? QStringLiteral("en_US") : QtLocaleNameFor(Code)));
    static QTranslator* Installed = nullptr;
    if (Installed) {
        QCoreApplication::removeTranslator(Installed);
        delete Installed;
        Installed = nullptr;
    }
    if (Code.isEmpty() || Code == QLatin1String("en"))
        return;
    auto* Translator = new QTranslator;
    if (Translator->load(QStringLiteral("qt_") + QtLocaleNameFor(Code),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(Translator)) {
        Installed = Translator;
        return;
    }
    delete Translator;
}

} // namespace

void ApplyLanguageDirection() {
    Qt::LayoutDirection Direction = Qt::LeftToRight;
    if (CurrentLanguageIndex > 0 && CurrentLanguageIndex < TranslationTable.size() &&
        TranslationTable.at(CurrentLanguageIndex).size() > 1) {
        const QLocale Locale(TranslationTable.at(CurrentLanguageIndex).at(1));
        if (Locale.language() != QLocale::C)
            Direction = Locale.textDirection();
    }
    QApplication::setLayoutDirection(Direction);
    ApplyQtTranslation(CurrentLanguageIndex > 0 ? CurrentLanguageCode : QString());
}

void TfrmMain::BuildLanguageMenu() {
    mmLanguage->clear();
    auto* Group = new QActionGroup(mmLanguage);
    Group->setExclusive(true);
    for (int I = 0; I < TranslationTable.size(); ++I) {
        const QStringList& Column = TranslationTable.at(I);
        if (Column.size() < 2)
            break;
        // The language's own name, never translated: a reader must find their language in any.
        QAction* Item = mmLanguage->addAction(Column.at(0));
        Item->setObjectName(QStringLiteral("mmLanguage_") + Column.at(1));
        Item->setData(I);
        Item->setCheckable(true);
        Item->setChecked(I == CurrentLanguageIndex);
        Group->addAction(Item);
        connect(Item, &QAction::triggered, this, [this, Item] { LanguageMenuClick(Item); });
    }
}

void TfrmMain::LanguageMenuClick(QAction* Item) {
    const int Index = Item->data().toInt();
    for (QAction* Other : mmLanguage->actions())
        Other->setChecked(false);
    if (!ChooseLanguage(Index)) {
        for (QAction* Other : mmLanguage->actions())
            Other->setChecked(Other->data().toInt() == CurrentLanguageIndex);
        return;
    }
    Item->setChecked(true);
    ApplyLanguageDirection();
    ApplyCaptions();
    RefreshStatuses();
}
