#include "cli/ProgressBar.h"

#include "cli/CliInterrupt.h"

#include <algorithm>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int TerminalWidth() {
    winsize Size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &Size) == 0 && Size.ws_col > 0)
        return Size.ws_col;
    return 80;
}

} // namespace

TProgressBar::TProgressBar(const QString& Action) : FAction(Action), FEnabled(isatty(STDERR_FILENO) != 0) {}

TProgressBar::~TProgressBar() {
    Finish();
}

QString TProgressBar::FormatBytes(int64_t Bytes) {
    static const char* const Units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double Value = static_cast<double>(Bytes);
    int Unit = 0;
    while (Value >= 1024.0 && Unit < 4) {
        Value /= 1024.0;
        ++Unit;
    }
    if (Unit == 0)
        return QStringLiteral("%1 B").arg(Bytes);
    return QStringLiteral("%1 %2").arg(Value, 0, 'f', 1).arg(QLatin1String(Units[Unit]));
}

void TProgressBar::Update(int64_t Done, int64_t Total) {
    if (!FEnabled)
        return;
    // Speed counts from the first report: key derivation and authentication come before it.
    if (FFirstDone < 0) {
        FFirstDone = Done;
        FTimer.start();
    }
    const double Fraction =
        Total > 0 ? std::clamp(static_cast<double>(Done) / static_cast<double>(Total), 0.0, 1.0) : 1.0;
    QString Speed;
    const qint64 Ms = FTimer.elapsed();
    if (Ms >= 200)
        Speed = FormatBytes(
                    static_cast<int64_t>(static_cast<double>(Done - FFirstDone) * 1000.0 / static_cast<double>(Ms))) +
                QStringLiteral("/s");
    const QString Tail = QStringLiteral(" %1% %2 / %3 %4")
                             .arg(static_cast<int>(Fraction * 100.0), 3)
                             .arg(FormatBytes(Done), FormatBytes(Total), Speed.leftJustified(12));
    const QString Head = InterruptRequested() ? QStringLiteral("Stopping ") : FAction + QLatin1Char(' ');
    const int Width = TerminalWidth() - 1;
    const int BarWidth = std::min(40, Width - static_cast<int>(Head.size() + Tail.size()) - 2);
    QString Line = Head;
    if (BarWidth >= 5) {
        const int Filled = static_cast<int>(Fraction * BarWidth);
        Line += QLatin1Char('[') + QString(Filled, QLatin1Char('#')) + QString(BarWidth - Filled, QLatin1Char('-')) +
                QLatin1Char(']');
    }
    Line += Tail;
    Line.truncate(std::max(0, Width));
    std::fprintf(stderr, "\r%s\033[K", Line.toLocal8Bit().constData());
    std::fflush(stderr);
    FDrawn = true;
}

void TProgressBar::Status(const QString& Text) {
    if (!FEnabled)
        return;
    QString Line = Text;
    Line.truncate(std::max(0, TerminalWidth() - 1));
    std::fprintf(stderr, "\r%s\033[K", Line.toLocal8Bit().constData());
    std::fflush(stderr);
    FDrawn = true;
}

void TProgressBar::Finish() {
    if (FEnabled && FDrawn) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    FDrawn = false;
}
