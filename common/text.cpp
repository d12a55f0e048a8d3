#include "common/text.h"

#include "common/atomicfile.h"
#include "common/fieldsplit_p.h"

#include <QByteArray>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

QString GetLineField(const QString& Line, int FieldNo, QChar Quote, QChar Sep) {
    if (FieldNo < 1) FieldNo = 1;
    // A separator always follows the wanted field.
    const QString w = Line + QString(FieldNo + 2, Sep);
    return TakePaddedField(w, FieldNo, Quote, Sep);
}

QString DoubleQuotes(const QString& Text) {
    QString out = Text;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return out;
}

QString AddQuotes(const QString& Text) { return QLatin1Char('"') + Text + QLatin1Char('"'); }

QString LeftOf(const QString& Text, const QString& Sub) {
    const qsizetype p = Sub.isEmpty() ? -1 : Text.indexOf(Sub);
    return p < 0 ? Text : Text.left(p);
}

QString RightOf(const QString& Text, const QString& Sub) {
    const qsizetype p = Sub.isEmpty() ? -1 : Text.indexOf(Sub);
    return p < 0 ? QString() : Text.mid(p + Sub.size());
}

bool MatchCharMask(const QString& Text, const QString& Mask) {
    if (Text.size() != Mask.size()) return false;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const QChar c = Text[i];
        QChar m = c;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            m = QLatin1Char('0');
        else if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                 c == QLatin1Char('!') || c == QLatin1Char('?') || c == QLatin1Char('/') || c == QLatin1Char('\\'))
            m = QLatin1Char('A');
        if (m != Mask[i]) return false;
    }
    return true;
}

bool AppendLine(const QString& FileName, const QString& Text, QString* Error) {
    const QByteArray name = FileName.toLocal8Bit();
    auto fail = [&](int e) {
        if (Error) *Error = QStringLiteral("Cannot write to file \"%1\": %2").arg(FileName, qt_error_string(e));
        return false;
    };
    if (name.isEmpty()) return fail(ENOENT);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return fail(errno);
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    // One write of the whole line: appends of other programs cannot land
    // inside it.
    const QByteArray line = Text.toUtf8() + "\r\n";
    qsizetype done = 0;
    int e = IoFault(IoStep::Write, name.constData());
    if (e != 0) {
        // As a disk that fills up takes it: half the line, then the error.
        const ssize_t n = ::write(fd, line.constData(), static_cast<size_t>(line.size() / 2));
        if (n > 0) done = n;
    }
    while (e == 0 && done < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + done, static_cast<size_t>(line.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            e = errno;
            break;
        }
        if (n == 0) {
            e = ENOSPC;
            break;
        }
        done += n;
    }
    // Half a line would join the next one: it goes again, unless another
    // program has appended after it meanwhile.
    struct stat after {};
    if (e != 0 && done > 0 && sized && ::fstat(fd, &after) == 0 && after.st_size == before.st_size + done)
        ::ftruncate(fd, before.st_size);
    if (::close(fd) != 0 && e == 0) e = errno;
    return e == 0 ? true : fail(e);
}

qint64 Val(QStringView Text) {
    qsizetype i = 0;
    while (i < Text.size() && (Text[i] == QLatin1Char(' ') || Text[i] == QLatin1Char('\t'))) ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == QLatin1Char('-') || Text[i] == QLatin1Char('+'))) {
        negative = Text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 v = 0;
    while (i < Text.size() && Text[i] >= QLatin1Char('0') && Text[i] <= QLatin1Char('9')) {
        if (v < (Q_INT64_C(1) << 58)) v = v * 10 + (Text[i].unicode() - '0');
        ++i;
    }
    return negative ? -v : v;
}

qint64 RoundedVal(const QString& Text) {
    const qint64 whole = Val(Text);
    // The first digit of the fraction decides: only halves and more round up.
    const qsizetype dot = Text.indexOf(QLatin1Char('.'));
    if (dot < 0 || dot + 1 >= Text.size() || Text[dot + 1] < QLatin1Char('5') || Text[dot + 1] > QLatin1Char('9'))
        return whole;
    // The dot must end the leading number itself ("12.7", not "12 .7").
    qsizetype i = 0;
    while (i < dot && (Text[i] == QLatin1Char(' ') || Text[i] == QLatin1Char('\t'))) ++i;
    const bool negative = i < dot && Text[i] == QLatin1Char('-');
    if (i < dot && (Text[i] == QLatin1Char('-') || Text[i] == QLatin1Char('+'))) ++i;
    for (qsizetype k = i; k < dot; ++k) {
        if (Text[k] < QLatin1Char('0') || Text[k] > QLatin1Char('9')) return whole;
    }
    return negative ? whole - 1 : whole + 1;
}

QString FixedText(const QString& Text, int Width) {
    if (Text.size() <= Width) return Text + QString(Width - Text.size(), QLatin1Char(' '));
    QString out = Text.left(Width);
    if (!out.isEmpty() && out.back().isHighSurrogate()) out.back() = QLatin1Char(' ');
    return out;
}

QString ControlsToBlanks(const QString& Text) {
    QString out = Text;
    for (QChar& c : out) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char(' ');
    }
    return out;
}

bool SameText(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
