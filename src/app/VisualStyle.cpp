#include "app/VisualStyle.h"

#include "dialogs/DialogSeam.h"
#include "translation/translation.h"

#include <QApplication>
#include <QFile>

bool ApplyVisualStyle(const QString& ResourcePath) {
    const QString Path = ResourcePath.isEmpty()
                             ? QStringLiteral(":/style/") + QLatin1String(VisualStyleName) + QStringLiteral(".qss")
                             : ResourcePath;
    QFile File(Path);
    QByteArray Sheet;
    if (File.open(QIODevice::ReadOnly))
        Sheet = File.readAll();
    if (Sheet.isEmpty()) {
        ShowMessageBox(Translate("Cannot load the visual style \"%s\".")
                           .replace(QStringLiteral("%s"), QLatin1String(VisualStyleName)),
                       TMsgKind::Error);
        return false;
    }
    qApp->setStyleSheet(QString::fromUtf8(Sheet));
    return true;
}
