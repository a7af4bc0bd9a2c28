#include "mainwindow/AppIcons.h"

#include <QDir>

static void InitResourcesOutsideNamespace() {
    Q_INIT_RESOURCE(resources);
}

void InitGuiResources() {
    InitResourcesOutsideNamespace();
}

QIcon AppIcon(const QString& Name) {
    return QIcon(QStringLiteral(":/icons/") + Name + QStringLiteral(".svg"));
}
