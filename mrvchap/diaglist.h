#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The diagnostics list: one row per script line as it was loaded, with the
// loader's messages and the runner's marks appended, and the rows the run
// adds. Rows are numbered from 0 in the order they were added, for good: the
// list shows at most kMaxDiagRows of them (the oldest go first), but a row's
// number never changes, so the runner's row numbers stay right however long
// the script. With logging on, rows and marks are also written to the log file.

/// Rows the list shows at most.
constexpr int kMaxDiagRows = 501;

/// What shows the list (the window's list box); every call names rows by
/// their place among the shown rows.
class DiagView {
public:
    virtual ~DiagView() = default;
    virtual void diagReset(const QStringList& Rows) = 0;
    virtual void diagAdded(const QString& Text) = 0;
    virtual void diagRemovedFirst() = 0;
    virtual void diagChanged(int Shown, const QString& Text) = 0;
    virtual void diagSelected(int Shown) = 0;
};

class DiagList {
public:
    explicit DiagList(DiagView* View = nullptr) : view_(View) {}

    /// Adds a row and makes it the current row; with logging on it is also
    /// written to the log as one line ("dd mmm yyyy hh:nn:ss text").
    void LogDiag(const QString& Text);
    /// Adds a row and makes it the current row, never written to the log
    /// (the closing countdown's row).
    void AddRow(const QString& Text);
    /// Writes Text to the log file as LogDiag does, logging on or off (an end
    /// the operator must be able to find afterwards).
    void LogAlways(const QString& Text);
    /// Appends Text to the current row; with logging on a Text longer than one
    /// character is written to the log as well. A row that a "." makes longer
    /// than 100 characters is cut after its first "." that follows its "]", so
    /// a long wait keeps its row short.
    void AppendDiag(const QString& Text);
    /// Makes Row the current row and shows it selected.
    void select(int Row);
    int current() const { return current_; }
    /// Replaces the text of Row (nothing when it is no longer shown).
    void setRow(int Row, const QString& Text);
    /// The text of Row; "" when it is no longer shown.
    QString row(int Row) const;
    /// Rows ever added.
    int count() const { return first_ + static_cast<int>(rows_.size()); }
    /// The rows shown.
    const QStringList& shown() const { return rows_; }
    /// Marks Row as holding an error.
    void markError(int Row);
    /// Keeps only the rows marked as errors (the row numbers start again from 0).
    void keepErrorRows();
    void clear();

    /// Logging (off at the start) and the log file it writes to.
    bool logging = false;
    QString logPath;
    /// The last log write that failed ("" when none did).
    QString logError;

private:
    void writeLog(const QString& Text);
    void writeLine(const QString& Text);

    DiagView* view_;
    QStringList rows_;
    QList<bool> errors_;
    int first_ = 0;  // number of the first row shown
    int current_ = -1;
};
