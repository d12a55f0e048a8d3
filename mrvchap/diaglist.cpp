#include "mrvchap/diaglist.h"

#include "common/clock.h"
#include "common/datetime.h"
#include "common/textfile.h"

#include <QDir>
#include <QFile>

void DiagList::writeLog(const QString& Text) {
    if (logging) writeLine(Text);
}

void DiagList::LogAlways(const QString& Text) { writeLine(Text); }

void DiagList::writeLine(const QString& Text) {
    if (logPath.isEmpty()) return;
    QDir().mkpath(FolderOf(logPath));
    QFile f(logPath);
    const QByteArray line =
        (FormatDate(Now(), QStringLiteral("dd mmm yyyy hh:nn:ss")) + QLatin1Char(' ') + Text).toUtf8() + "\r\n";
    // One write per line, appended, so lines of a crashed run are all whole.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(line) != line.size())
        logError = QStringLiteral("Cannot write \"%1\": %2").arg(logPath, f.errorString());
}

void DiagList::LogDiag(const QString& Text) {
    writeLog(Text);
    AddRow(Text);
}

void DiagList::AddRow(const QString& Text) {
    if (rows_.size() >= kMaxDiagRows) {
        rows_.removeFirst();
        errors_.removeFirst();
        ++first_;
        if (view_) view_->diagRemovedFirst();
    }
    rows_.append(Text);
    errors_.append(false);
    current_ = count() - 1;
    if (view_) {
        view_->diagAdded(Text);
        view_->diagSelected(static_cast<int>(rows_.size()) - 1);
    }
}

void DiagList::AppendDiag(const QString& Text) {
    if (Text.size() > 1) writeLog(Text);
    const int shown = current_ - first_;
    if (shown < 0 || shown >= rows_.size()) return;
    QString& r = rows_[shown];
    r += Text;
    if (Text == u"." && r.size() > 100) {
        const qsizetype dot = r.indexOf(u'.', qMax<qsizetype>(r.indexOf(u']'), 0));
        if (dot >= 0) r.truncate(dot + 1);
    }
    if (view_) view_->diagChanged(shown, r);
}

void DiagList::select(int Row) {
    current_ = Row;
    const int shown = Row - first_;
    if (view_ && shown >= 0 && shown < rows_.size()) view_->diagSelected(shown);
}

void DiagList::setRow(int Row, const QString& Text) {
    const int shown = Row - first_;
    if (shown < 0 || shown >= rows_.size()) return;
    rows_[shown] = Text;
    if (view_) view_->diagChanged(shown, Text);
}

QString DiagList::row(int Row) const {
    const int shown = Row - first_;
    return shown >= 0 && shown < rows_.size() ? rows_[shown] : QString();
}

void DiagList::markError(int Row) {
    const int shown = Row - first_;
    if (shown >= 0 && shown < errors_.size()) errors_[shown] = true;
}

void DiagList::keepErrorRows() {
    QStringList kept;
    for (qsizetype i = 0; i < rows_.size(); ++i)
        if (errors_[i]) kept.append(rows_[i]);
    rows_ = kept;
    errors_ = QList<bool>(kept.size(), true);
    first_ = 0;
    current_ = -1;
    if (view_) view_->diagReset(rows_);
}

void DiagList::clear() {
    rows_.clear();
    errors_.clear();
    first_ = 0;
    current_ = -1;
    if (view_) view_->diagReset(rows_);
}
