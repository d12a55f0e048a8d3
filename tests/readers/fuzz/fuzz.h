#pragma once

#include "common/datetime.h"
#include "morvenda/core/jobrec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// What the fuzz targets of the readers share. Each target is a function
// LLVMFuzzerTestOneInput that feeds one input to one reader and checks what
// must hold of its result. libFuzzer calls it with the inputs it makes; the
// driver of the ordinary build calls it with the seed files. A check that
// fails ends the program (abort), naming the check and the input, so that
// libFuzzer keeps the input and the unit test fails.

/// The name of the input being run, shown when a check fails ("" under
/// libFuzzer, which names the input itself).
extern QString gFuzzInput;

/// Ends the program with What when Holds is false.
void Require(bool Holds, const QString& What);
inline void Require(bool Holds, const char* What) { Require(Holds, QString::fromUtf8(What)); }

/// The input as bytes.
inline QByteArray InputBytes(const std::uint8_t* Data, std::size_t Size) {
    return QByteArray(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
}

/// A folder of this program's own temporary folder, made empty (and made
/// when missing). The temporary folder goes when the program ends.
QString FreshFolder(const QString& Name);

/// Writes Bytes as the file Path (plainly: no flush, the file is the input).
void PutFile(const QString& Path, const QByteArray& Bytes);

/// A fresh folder (FreshFolder) that holds the input as a file, and what it
/// held once the input was put in, so that a reader that changes any file of
/// it is caught.
class InputFolder {
public:
    explicit InputFolder(const QString& Name);
    /// The folder's path.
    const QString path;
    /// Writes Bytes as File (a name in the folder, or an absolute path inside
    /// it) and takes what the folder holds; returns File's path.
    QString put(const QString& File, const QByteArray& Bytes);
    /// Ends the program with What when the folder holds other files or bytes
    /// than after put.
    void requireUnchanged(const char* What) const;

private:
    QStringList before_;
};

/// The scheduler as at a fresh start: a new state (G), a fake clock at
/// 8 Dec 2026 10:00 UTC, a prompter that answers Ok and Yes and forgets
/// what it was shown, per-user settings in the temporary folder, no run log.
void FreshScheduler();

/// True for a date the schedule file can hold: never (0), or a moment of the
/// years 1 to 9999.
bool StorableDate(const DateVal& D);

/// Ends the program unless the job can be saved: its start and end are
/// StorableDate and its schedule-file line reads back as the same line.
void RequireSavable(const JobRec& J);
