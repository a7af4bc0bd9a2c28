#include "shellbrowser/ShellBrowser.h"

#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

// Filters the current folder's items through the patterns and the hook, and puts folders first.
// Items outside the current folder (its ancestors, which the model must hold) always pass.
class TShellFilterModel : public QSortFilterProxyModel {
public:
    explicit TShellFilterModel(QObject* Parent) : QSortFilterProxyModel(Parent) {}

    QString Folder;
    QList<QRegularExpression> Patterns;
    TShellFileList::TAddItemHook Hook;

    void Refilter() { invalidateFilter(); }

    // Sizes and dates in the chosen language's own forms; the model writes them with the system's.
    QVariant data(const QModelIndex& Index, int Role) const override {
        if (Role == Qt::DisplayRole && (Index.column() == 1 || Index.column() == 3)) {
            auto* Model = static_cast<QFileSystemModel*>(sourceModel());
            const QModelIndex Source = mapToSource(Index);
            if (Index.column() == 3)
                return QLocale().toString(Model->lastModified(Source), QLocale::ShortFormat);
            if (!Model->isDir(Source))
                return QLocale().formattedDataSize(Model->size(Source));
        }
        return QSortFilterProxyModel::data(Index, Role);
    }

protected:
    bool filterAcceptsRow(int Row, const QModelIndex& SourceParent) const override {
        auto* Model = static_cast<QFileSystemModel*>(sourceModel());
        if (Model->filePath(SourceParent) != Folder)
            return true;
        const QModelIndex Index = Model->index(Row, 0, SourceParent);
        const bool IsFolder = Model->isDir(Index);
        const QString Path = Model->filePath(Index);
        bool CanAdd = IsFolder || Patterns.isEmpty();
        if (!IsFolder)
            for (const QRegularExpression& Pattern : Patterns)
                CanAdd = CanAdd || Pattern.match(Model->fileName(Index)).hasMatch();
        if (CanAdd && Hook)
            Hook(Path, IsFolder, CanAdd);
        return CanAdd;
    }

    bool lessThan(const QModelIndex& Left, const QModelIndex& Right) const override {
        auto* Model = static_cast<QFileSystemModel*>(sourceModel());
        const bool LeftFolder = Model->isDir(Left);
        if (LeftFolder != Model->isDir(Right))
            return LeftFolder;
        if (Left.column() == 0)
            return QString::compare(Model->fileName(Left), Model->fileName(Right), Qt::CaseInsensitive) < 0;
        return QSortFilterProxyModel::lessThan(Left, Right);
    }
};

TShellFileList::TShellFileList(QWidget* Parent)
    : QTreeView(Parent), FModel(new QFileSystemModel(this)), FFilter(new TShellFilterModel(this)) {
    FModel->setFilter(QDir::AllDirs | QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    FModel->setReadOnly(true);
    FFilter->setSourceModel(FModel);
    FFilter->setDynamicSortFilter(true);
    setModel(FFilter);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setContextMenuPolicy(Qt::NoContextMenu);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Size, type and date as wide as what they show, in every language; the name takes the rest.
    for (int Column = 1; Column < 4; ++Column)
        header()->setSectionResizeMode(Column, QHeaderView::ResizeToContents);
    connect(this, &QTreeView::activated, this, &TShellFileList::ItemActivated);
    connect(FModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& Loaded) {
        if (Loaded == FFolder)
            emit FolderLoaded();
    });
}

void TShellFileList::SetFileFilter(const QStringList& Patterns) {
    FFilter->Patterns.clear();
    for (const QString& Pattern : Patterns)
        FFilter->Patterns.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(Pattern),
                                                    QRegularExpression::CaseInsensitiveOption));
    FFilter->Refilter();
}

void TShellFileList::SetAddItemHook(TAddItemHook Hook) {
    FFilter->Hook = std::move(Hook);
    FFilter->Refilter();
}

void TShellFileList::SetFolder(const QString& Folder) {
    const QString Clean = QDir::cleanPath(QFileInfo(Folder).absoluteFilePath());
    if (Clean == FFolder)
        return;
    FFolder = Clean;
    FFilter->Folder = Clean;
    FModel->setRootPath(Clean);
    FFilter->Refilter();
    setRootIndex(FFilter->mapFromSource(FModel->index(Clean)));
    clearSelection();
    emit FolderChanged(Clean);
}

int TShellFileList::SelectedCount() const {
    return static_cast<int>(selectionModel()->selectedRows().size());
}

QString TShellFileList::SelectedPath() const {
    const QModelIndexList Rows = selectionModel()->selectedRows();
    if (Rows.isEmpty())
        return QString();
    return FModel->filePath(FFilter->mapToSource(Rows.first()));
}

bool TShellFileList::SelectPath(const QString& Path) {
    const QModelIndex Index = FFilter->mapFromSource(FModel->index(Path));
    if (!Index.isValid() || Index.parent() != rootIndex())
        return false;
    setCurrentIndex(Index);
    selectionModel()->select(Index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

QStringList TShellFileList::ShownNames() const {
    QStringList Names;
    for (int Row = 0; Row < FFilter->rowCount(rootIndex()); ++Row)
        Names.append(FFilter->index(Row, 0, rootIndex()).data().toString());
    return Names;
}

namespace {

bool IsEnter(const QKeyEvent* Event) {
    return Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter;
}

} // namespace

void TShellFileList::keyPressEvent(QKeyEvent* Event) {
    // The view passes Enter on after opening the item; in a dialog the default button would then
    // close it over the folder just opened.
    if (IsEnter(Event) && state() != EditingState) {
        if (currentIndex().isValid())
            emit activated(currentIndex());
        Event->accept();
        return;
    }
    QTreeView::keyPressEvent(Event);
}

void TShellFileList::ItemActivated(const QModelIndex& Index) {
    const QModelIndex Source = FFilter->mapToSource(Index);
    if (FModel->isDir(Source))
        SetFolder(FModel->filePath(Source));
    else
        emit FileActivated(FModel->filePath(Source));
}

TShellFolderCombo::TShellFolderCombo(QWidget* Parent) : QComboBox(Parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* Folders = new QFileSystemModel(this);
    Folders->setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
    Folders->setRootPath(QDir::rootPath());
    auto* Completer = new QCompleter(Folders, this);
    Completer->setCompletionMode(QCompleter::PopupCompletion);
    setCompleter(Completer);
    connect(this, &QComboBox::activated, this, [this](int Index) {
        if (!FUpdating)
            GoTo(itemData(Index).toString());
    });
    connect(lineEdit(), &QLineEdit::returnPressed, this, [this] { GoTo(lineEdit()->text()); });
}

void TShellFolderCombo::LinkTo(TShellFileList* List) {
    FList = List;
    connect(List, &TShellFileList::FolderChanged, this, &TShellFolderCombo::ShowFolder);
    if (!List->Folder().isEmpty())
        ShowFolder(List->Folder());
}

void TShellFolderCombo::keyPressEvent(QKeyEvent* Event) {
    QComboBox::keyPressEvent(Event);
    // The typed path has been gone to (returnPressed); passed on, Enter would press the default button.
    if (IsEnter(Event))
        Event->accept();
}

void TShellFolderCombo::ShowFolder(const QString& Folder) {
    FUpdating = true;
    clear();
    // The root first, down to the folder itself, which is the one shown.
    QStringList Chain;
    for (QDir Dir(Folder);;) {
        Chain.prepend(Dir.absolutePath());
        if (Dir.isRoot() || !Dir.cdUp())
            break;
    }
    for (const QString& Path : std::as_const(Chain))
        addItem(QDir::toNativeSeparators(Path), Path);
    setCurrentIndex(count() - 1);
    FUpdating = false;
}

void TShellFolderCombo::GoTo(const QString& Folder) {
    const QFileInfo Info(QDir::fromNativeSeparators(Folder.trimmed()));
    if (FList && Info.isDir())
        FList->SetFolder(Info.absoluteFilePath());
    else if (FList)
        ShowFolder(FList->Folder());
}
