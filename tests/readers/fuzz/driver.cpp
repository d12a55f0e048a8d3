#include "tests/readers/fuzz/fuzz.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

// Runs a fuzz target, built without libFuzzer, over seed files: every file
// named on the command line and every file of every folder named there. Each
// file is given whole, then cut short after each of its first lines and in
// the middle of its last line (what a crash leaves of a file being written).
// Ends with status 1 when no file was found; a failed check aborts.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

namespace {

void Run(const QByteArray& Bytes) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(Bytes.constData()),
                           static_cast<std::size_t>(Bytes.size()));
}

// The input whole, and cut short: after each line end (at most the first
// 50), and halfway into the last line.
int RunWithCuts(const QString& Name, const QByteArray& Bytes) {
    gFuzzInput = Name;
    Run(Bytes);
    int runs = 1;
    qsizetype lastEnd = 0;
    for (qsizetype at = Bytes.indexOf('\n'); at >= 0 && at + 1 < Bytes.size() && runs <= 50;
         at = Bytes.indexOf('\n', at + 1)) {
        gFuzzInput = QStringLiteral("%1 (its first %2 bytes)").arg(Name).arg(at + 1);
        Run(Bytes.left(at + 1));
        lastEnd = at + 1;
        ++runs;
    }
    const qsizetype half = lastEnd + (Bytes.size() - lastEnd) / 2;
    if (half > lastEnd && half < Bytes.size()) {
        gFuzzInput = QStringLiteral("%1 (its first %2 bytes)").arg(Name).arg(half);
        Run(Bytes.left(half));
        ++runs;
    }
    return runs;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QStringList inFolder;
            QDirIterator it(arg, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) inFolder << it.next();
            inFolder.sort();
            files << inFolder;
        } else {
            files << arg;
        }
    }
    int runs = 0;
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "Cannot read %s\n", qPrintable(path));
            return 1;
        }
        runs += RunWithCuts(path, f.readAll());
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "No seed files found\n");
        return 1;
    }
    std::printf("%d inputs made from %lld seed files passed\n", runs, static_cast<long long>(files.size()));
    return 0;
}
