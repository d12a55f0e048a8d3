#include "mrvdummy/dummyargs.h"

#include "common/text.h"

namespace {

constexpr QChar kQuote = QLatin1Char('"');
constexpr QChar kDelim = QLatin1Char(',');

// The contents of the quoted text whose opening quote stands at `open` (a
// doubled quote gives one quote), and in `close` the index of its closing
// quote, or -1 when it is never closed (the contents then run to the end).
QString ReadQuoted(const QString& s, qsizetype open, qsizetype& close) {
    QString out;
    qsizetype i = open + 1;
    while (i < s.size()) {
        if (s[i] == kQuote) {
            if (i + 1 < s.size() && s[i + 1] == kQuote) {
                out += kQuote;
                i += 2;
                continue;
            }
            close = i;
            return out;
        }
        out += s[i];
        ++i;
    }
    close = -1;
    return out;
}

bool OneOf(const QString& s, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (s == QLatin1String(n)) return true;
    return false;
}

}  // namespace

QList<DummyOperand> SplitDummyOperands(const QString& Line) {
    QList<DummyOperand> out;
    const qsizetype n = Line.size();
    qsizetype pos = 0;
    while (pos <= n) {
        DummyOperand op;
        // Index of the character from which the next separator is searched;
        // -1 when the field ran to the end of the line.
        qsizetype after = pos;
        const qsizetype delim = Line.indexOf(kDelim, pos);
        const qsizetype end = delim < 0 ? n : delim;
        // The first "=" of this field only.
        qsizetype eq = QStringView(Line).mid(pos, end - pos).indexOf(QLatin1Char('='));
        if (eq >= 0) eq += pos;
        if (pos < n && Line[pos] == kQuote) {
            // A field quoted as a whole, read as GetField reads it.
            qsizetype close = -1;
            op.text = ReadQuoted(Line, pos, close).trimmed();
            op.keyword = LeftOf(op.text, QStringLiteral("=")).toUpper();
            op.value = RightOf(op.text, QStringLiteral("="));
            after = close < 0 ? -1 : close + 1;
        } else if (eq >= 0 && eq + 1 < n && Line[eq + 1] == kQuote) {
            // A quoted value right after "=": the separators inside belong to
            // the value (a job's command line often holds commas).
            qsizetype close = -1;
            op.value = ReadQuoted(Line, eq + 1, close);
            op.keyword = Line.mid(pos, eq - pos).trimmed().toUpper();
            op.text = Line.mid(pos, (close < 0 ? n : close + 1) - pos).trimmed();
            after = close < 0 ? -1 : close + 1;
        } else {
            op.text = Line.mid(pos, end - pos).trimmed();
            op.keyword = LeftOf(op.text, QStringLiteral("=")).toUpper();
            op.value = RightOf(op.text, QStringLiteral("="));
            after = end;
        }
        if (op.text.isEmpty()) break;
        out.append(op);
        if (after < 0) break;
        const qsizetype next = Line.indexOf(kDelim, after);
        if (next < 0) break;
        pos = next + 1;
    }
    return out;
}

DummyOperands ParseDummyCommandLine(const QString& Line) {
    DummyOperands d;
    for (const DummyOperand& op : SplitDummyOperands(Line)) {
        const QString& k = op.keyword;
        const QString v = op.value.toUpper();
        if (k == QLatin1String("GO")) {
            if (OneOf(v, {"YES", "Y", "OUI", "O", "JAWOHL", "JA", "J"}))
                d.go = true;
            else if (OneOf(v, {"NO", "N", "NON", "NEIN"}))
                d.go = false;
            else
                d.rejected.append(op.text);
        } else if (OneOf(k, {"JOBNAME", "JN", "J"})) {
            d.jobName = op.value;
        } else if (OneOf(k, {"CMDLINE", "CL", "C"})) {
            d.cmdLine = op.value;
        } else if (OneOf(k, {"FREQUENCY", "FREQ", "F"})) {
            d.frequency = op.value;
        } else if (OneOf(k, {"ONTOPTIMER", "ONTOP", "OTT"})) {
            d.onTopTimer = v != QLatin1String("OFF");
        } else if (OneOf(k, {"RUNFORSECS", "RUNFOR", "RUN", "RFS"})) {
            const qint64 secs = Val(op.value);
            d.runForSecs = secs >= 1 && secs <= 3600 ? int(secs) : kDefaultRunForSecs;
        } else if (OneOf(k, {"RESULT", "RES"})) {
            if (OneOf(v, {"SUCCEED", "S"}))
                d.result = DummyResult::Succeed;
            else if (OneOf(v, {"FAIL", "F"}))
                d.result = DummyResult::Fail;
            else
                d.rejected.append(op.text);
        } else {
            d.rejected.append(op.text);
        }
    }
    return d;
}

QString DummyResultText(DummyResult r) {
    switch (r) {
        case DummyResult::Succeed:
            return QStringLiteral("Succeed");
        case DummyResult::Fail:
            return QStringLiteral("Fail");
        case DummyResult::None:
            break;
    }
    return QString();
}

QString RunTimeErrorText(int Number) {
    switch (Number) {
        case 5:
            return QStringLiteral("Run-time error '5': Invalid procedure call or argument");
        case 13:
            return QStringLiteral("Run-time error '13': Type mismatch");
        default:
            return QStringLiteral("Run-time error '%1'").arg(Number);
    }
}
