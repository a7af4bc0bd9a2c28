#include "LockerCorpus.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

// Writes the damaged-locker corpus into a folder, one <case>.kvlocker per case (fuzzing seeds).
int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const int Count = WriteLockerCorpus(QString::fromLocal8Bit(argv[1]));
        std::printf("%d lockers written\n", Count);
        return 0;
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "%s\n", Error.what());
        return 1;
    }
}
