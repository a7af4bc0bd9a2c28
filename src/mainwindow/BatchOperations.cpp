// The four batch commands, the busy state with its progress display, and Stop.
#include "dialogs/DialogSeam.h"
#include "platform/KelvarnError.h"
#include "dialogs/TextRules.h"
#include "mainwindow/UnitMain.h"
#include "translation/translation.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {

constexpr int BarMaximum = 1000;
void ProcessMessages() {
    QCoreApplication::processEvents();
}

} // namespace

void TfrmMain::BeginBusy(int N) {
    FBusy = true;
    FStopRequested = false;
    FTotalItems = N;
    FCurrentItemIndex = 0;
    ProgressBar1->setEnabled(true);
    ProgressBar1->setVisible(true);
    lblStatus->setEnabled(true);
    btnStop->setEnabled(true);
    ProgressBar1->setRange(0, BarMaximum);
    ProgressBar1->setValue(0);
    UpdateProgressText();
    UpdateButtons();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    ProcessMessages();
}

void TfrmMain::EndBusy() {
    FBusy = false;
    FStopRequested = false;
    FCurrentItemIndex = 0;
    FTotalItems = 0;
    ProgressBar1->setValue(0);
    ProgressBar1->setEnabled(false);
    ProgressBar1->setVisible(false);
    lblStatus->setEnabled(false);
    btnStop->setEnabled(false);
    QApplication::restoreOverrideCursor();
    UpdateButtons();
    ProcessMessages();
    if (FCloseWhenIdle && FWorkDepth == 0)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TfrmMain::UpdateProgressText() {
    if (FTotalItems <= 0)
        lblStatus->setText(QString());
    else
        lblStatus->setText(QString::asprintf("%d/%d", FCurrentItemIndex, FTotalItems));
}

void TfrmMain::ReportProgress(const QString& /*ItemPath*/, int64_t Done, int64_t Total) {
    // The engine reports no more often than its throttle lets it, so each report is drawn and the
    // events (Stop among them) are handled.
    double Value = 0;
    if (Total > 0)
        Value = std::nearbyint(static_cast<double>(Done) / static_cast<double>(Total) * ProgressBar1->maximum());
    Value = std::clamp(Value, 0.0, static_cast<double>(BarMaximum));
    ProgressBar1->setValue(static_cast<int>(Value));
    UpdateProgressText();
    ProcessMessages();
}

bool TfrmMain::IsStopRequested() const {
    return FStopRequested;
}

void TfrmMain::btnStopClick() {
    if (!FBusy)
        return;
    FStopRequested = true;
    btnStop->setEnabled(false);
    if (FTotalItems > 0)
        lblStatus->setText(
            QString::asprintf(Translate("%d/%d stopping...").toUtf8().constData(), FCurrentItemIndex, FTotalItems));
    else
        lblStatus->setText(Translate("Stopping..."));
    ProcessMessages();
}

void TfrmMain::RunBatch(const QList<QTreeWidgetItem*>& Rows, bool Hide) {
    if (Rows.isEmpty())
        return;
    const int N = static_cast<int>(Rows.size());
    BeginBusy(N);
    for (int I = 1; I <= N; ++I) {
        if (FStopRequested)
            break;
        FCurrentItemIndex = I;
        UpdateProgressText();
        ProgressBar1->setValue(0);
        QTreeWidgetItem* Row = Rows.at(I - 1);
        const QString Path = Row->text(0);
        try {
            UpdateItemStatus(Row);
            const QString Wanted = Hide ? Translate("Visible") : Translate("Encrypted & Hidden");
            if (AsciiSameText(Row->text(1), Wanted)) {
                QString ErrorText;
                const bool Done = Hide ? HidePathIntoLocker(Path, ErrorText) : RestorePathFromLocker(Path, ErrorText);
                if (!Done)
                    throw EKelvarnError(ErrorText);
            }
        } catch (const std::exception& Error) {
            const QString Prefix = Hide ? Translate("Error hiding: ") : Translate("Error unhiding: ");
            ShowMessageBox(Prefix + Path + QStringLiteral("\r\n") + ErrorTextOf(Error), TMsgKind::Error);
        }
    }
    EndBusy();
    RefreshStatuses();
    SaveFormState();
}

void TfrmMain::btnEncryptAndHideSelectedClick() {
    RunBatch(ListViewPaths->selectedItems(), true);
}

void TfrmMain::btnEncryptAndHideAllClick() {
    QList<QTreeWidgetItem*> Rows;
    for (int I = 0; I < ListViewPaths->topLevelItemCount(); ++I)
        Rows.append(ListViewPaths->topLevelItem(I));
    RunBatch(Rows, true);
}

void TfrmMain::btnDecryptAndUnhideSelectedClick() {
    RunBatch(ListViewPaths->selectedItems(), false);
}

void TfrmMain::btnDecryptAndUnhideAllClick() {
    QList<QTreeWidgetItem*> Rows;
    for (int I = 0; I < ListViewPaths->topLevelItemCount(); ++I)
        Rows.append(ListViewPaths->topLevelItem(I));
    RunBatch(Rows, false);
}
