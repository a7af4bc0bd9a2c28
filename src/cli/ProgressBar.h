#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>

// One line on standard error, redrawn in place: bar, percentage, bytes done of total, speed.
// Draws nothing unless standard error is a terminal.
class TProgressBar {
public:
    explicit TProgressBar(const QString& Action);
    ~TProgressBar();
    TProgressBar(const TProgressBar&) = delete;
    TProgressBar& operator=(const TProgressBar&) = delete;

    bool Enabled() const { return FEnabled; }
    void Update(int64_t Done, int64_t Total);
    // A line of text in place of the bar, for steps that report no progress.
    void Status(const QString& Text);
    // Clears the line, so that messages that follow start on a clean one.
    void Finish();

    // "1.5 MiB"-style text, exposed for the bar's own layout.
    static QString FormatBytes(int64_t Bytes);

private:
    QString FAction;
    bool FEnabled = false;
    bool FDrawn = false;
    QElapsedTimer FTimer;
    int64_t FFirstDone = -1;
};
