#pragma once

#include "mainwindow/AppIcons.h"
#include "dialogs/DialogSeam.h"
#include "platform/PlatformEnvironment.h"
#include "translation/translation.h"
#include "settings/uSettings.h"

#include <QApplication>
#include <QPointer>
#include <QQueue>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>

// The window tests run headless in a private config folder, with a fixed identity, the shipped
// catalogue and the dialog seam answering every message box.

inline QString SourceDir() {
    const QString FromEnv = qEnvironmentVariable("KELVARN_SOURCE_DIR");
    return FromEnv.isEmpty() ? QStringLiteral(KELVARN_TEST_SOURCE_DIR) : FromEnv;
}

class TGuiFixture {
public:
    TGuiFixture() {
        InitGuiResources();
        SetConfigFolderOverride(FConfig.path());
        SetIdentityOverride(QStringLiteral("test-host"), QStringLiteral("tester"));
        SetTranslationFolderOverride(SourceDir() + QStringLiteral("/src/app"));
        DialogSeam::Install();
        GeneralPassword.clear();
        StrongHide = true;
        PathList.clear();
        UseLanguage(QStringLiteral("en"));
    }
    ~TGuiFixture() {
        DialogSeam::Remove();
        SetConfigFolderOverride(QString());
        SetIdentityOverride(QString(), QString());
        SetTranslationFolderOverride(QString());
        GeneralPassword.clear();
        PathList.clear();
        QApplication::setLayoutDirection(Qt::LeftToRight);
    }

    // Loads the catalogue with Code as the stored choice.
    static void UseLanguage(const QString& Code);

    QString ConfigFolder() const { return FConfig.path(); }

private:
    QTemporaryDir FConfig;
};

#include "platform/PlatformUserStore.h"

inline void TGuiFixture::UseLanguage(const QString& Code) {
    WriteUserStoreString(QStringLiteral("CurrentLanguage"), Code);
    LoadTranslation();
}

// The texts of the boxes the seam has answered, in order.
inline QStringList ShownTexts() {
    QStringList Texts;
    for (const TShownDialog& Shown : DialogSeam::Shown())
        Texts.append(Shown.Text);
    return Texts;
}

// Answers modal windows as they appear: each queued action runs once on each showing of a modal
// window (a reused dialog counts at every showing). Actions run from a timer inside the modal loop.
class TModalDriver : public QObject {
public:
    using TAction = std::function<void(QWidget*)>;

    TModalDriver() {
        qApp->installEventFilter(this);
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
        FTimer.start();
    }
    ~TModalDriver() override { qApp->removeEventFilter(this); }

    void Then(TAction Action) { FActions.enqueue(std::move(Action)); }
    int Pending() const { return static_cast<int>(FActions.size()); }
    QStringList Seen() const { return FSeen; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Show && Watched->isWidgetType()) {
            auto* W = static_cast<QWidget*>(Watched);
            if (W->isWindow() && W->isModal())
                FFresh = W;
        }
        return false;
    }

private:
    void Poll() {
        QWidget* Modal = QApplication::activeModalWidget();
        if (Modal == nullptr || Modal != FFresh || !Modal->isVisible())
            return;
        FFresh = nullptr;
        FSeen.append(Modal->objectName());
        if (!FActions.isEmpty())
            FActions.dequeue()(Modal);
    }

    QTimer FTimer;
    QQueue<TAction> FActions;
    QPointer<QWidget> FFresh;
    QStringList FSeen;
};
