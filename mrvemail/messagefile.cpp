#include "mrvemail/messagefile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <optional>

#include "common/getfield.h"
#include "common/textfile.h"

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString TrimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == QLatin1Char(' ')) ++b;
    while (e > b && s[e - 1] == QLatin1Char(' ')) --e;
    return s.mid(b, e - b);
}

QString TrimTrailingBlanks(const QString& s) {
    qsizetype e = s.size();
    while (e > 0 && s[e - 1] == QLatin1Char(' ')) --e;
    return s.left(e);
}

// True when Value is a non-empty leading part of Word (ERROR, REPORT, YES ...).
bool LeadingPartOf(const QString& Value, const QString& Word) { return !Value.isEmpty() && Word.startsWith(Value); }

// Every "~" at the end of Text becomes one line break.
QString TildesToBreaks(QString Text) {
    int n = 0;
    while (Text.endsWith(QLatin1Char('~'))) {
        Text.chop(1);
        ++n;
    }
    for (int i = 0; i < n; ++i) Text += CRLF;
    return Text;
}

void EnsureLineEnd(QString& body) {
    if (!body.endsWith(CRLF)) body += CRLF;
}

QString AtLine(int n) { return QStringLiteral(" at line ") + QString::number(n); }

// What the options of an ATT or EMB line ask for. Codes are the first letter
// of the value: E, R, S for ERROR, REPORT, SILENT.
struct LineOptions {
    QChar envelope = QLatin1Char('Y');  // Y, N, or C for a custom text
    QString envelopeText;
    QChar empty = QLatin1Char('R');
    QChar noFile = QLatin1Char('R');
    bool del = false;
};

// Reads the KEY=VALUE fields after the file name. Reading stops at the first
// empty field, a field without "=" or an unknown keyword; a fault gives its
// error text.
std::optional<QString> ReadOptions(const QString& Value, bool Embed, LineOptions* o) {
    const QChar quote = QLatin1Char('"'), comma = QLatin1Char(',');
    for (int k = 2;; ++k) {
        const QString field = GetField(Value, k, quote, comma);
        const qsizetype eq = field.indexOf(QLatin1Char('='));
        if (field.isEmpty() || eq < 0) return std::nullopt;
        // Blanks around a keyword or value are the writer's layout, not part of them.
        const QString key = TrimBlanks(field.left(eq)).toUpper();
        const QString val = TrimBlanks(field.mid(eq + 1));
        const QString upper = val.toUpper();
        auto invalidKeyword = [&] { return QStringLiteral("Invalid Parameter Keyword \"%1\"").arg(key); };
        auto errorReportSilent = [](const QString& v) -> std::optional<QChar> {
            if (LeadingPartOf(v, QStringLiteral("ERROR")) || LeadingPartOf(v, QStringLiteral("REPORT")) ||
                LeadingPartOf(v, QStringLiteral("SILENT")))
                return v[0];
            return std::nullopt;
        };
        auto yesNo = [](const QString& v) -> std::optional<bool> {
            if (LeadingPartOf(v, QStringLiteral("YES"))) return true;
            if (LeadingPartOf(v, QStringLiteral("NO"))) return false;
            return std::nullopt;
        };
        if (key == QStringLiteral("ENVELOPE") || key == QStringLiteral("ENV")) {
            if (!Embed) return invalidKeyword();
            if (LeadingPartOf(upper, QStringLiteral("YES"))) {
                o->envelope = QLatin1Char('Y');
            } else if (LeadingPartOf(upper, QStringLiteral("NO"))) {
                o->envelope = QLatin1Char('N');
            } else {
                o->envelope = QLatin1Char('C');
                o->envelopeText = TildesToBreaks(val);
            }
        } else if (key == QStringLiteral("EMPTY")) {
            if (!Embed) return invalidKeyword();
            // Matched as written: only upper-case values are known.
            const std::optional<QChar> c = errorReportSilent(val);
            if (!c) return QStringLiteral("Invalid Empty Specification");
            o->empty = *c;
        } else if (key == QStringLiteral("NOFILE") || key == QStringLiteral("NOF")) {
            const std::optional<QChar> c = errorReportSilent(upper);
            if (!c) return QStringLiteral("Invalid NoFile Specification");
            o->noFile = *c;
        } else if (key == QStringLiteral("DELETE") || key == QStringLiteral("DEL") || key == QStringLiteral("ERASE") ||
                   key == QStringLiteral("ERA")) {
            const std::optional<bool> d = yesNo(upper);
            if (!d) return QStringLiteral("Invalid Delete Specification");
            o->del = *d;
        } else {
            return std::nullopt;
        }
    }
}

// A number as a person writes one: optional sign, digits, an optional
// fraction and exponent, blanks around it.
std::optional<double> NumericValue(const QString& Text) {
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!number.match(Text).hasMatch()) return std::nullopt;
    bool ok = false;
    const double d = Text.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

// The files an EMB line names: the one file, or every file of the folder whose
// name matches a pattern with "*" or "?", in name order.
QStringList EmbedMatches(const QString& Folder, const QString& Name) {
    if (Name.isEmpty()) return {};
    if (!Name.contains(QLatin1Char('*')) && !Name.contains(QLatin1Char('?')))
        return QFileInfo(Folder + Name).isFile() ? QStringList{Name} : QStringList{};
    const QDir dir(Folder.isEmpty() ? QStringLiteral(".") : Folder);
    return dir.entryList({Name}, QDir::Files | QDir::Hidden | QDir::CaseSensitive, QDir::Name);
}

class Reader {
public:
    explicit Reader(const std::function<void(const QString&)>& onSubject) : onSubject_(onSubject) {}

    EojMessage read(const QStringList& lines) {
        for (qsizetype i = 0; i < lines.size(); ++i) readLine(static_cast<int>(i + 1), lines[i]);
        if (m_.body.size() > m_.maxBody) {
            qsizetype keep = static_cast<qsizetype>(m_.maxBody);
            if (keep > 0 && m_.body[keep - 1].isHighSurrogate()) --keep;
            m_.body = m_.body.left(keep) + CRLF + CRLF +
                      QStringLiteral("Maximum message size exceeded.  Message truncated by MRVEmail");
            // Part of what was asked for did not go out, so nothing is deleted.
            m_.deleteList.clear();
        }
        return m_;
    }

private:
    void addError(const QString& text) { m_.errors += CRLF + text; }

    void readLine(int n, const QString& line) {
        if (line.isEmpty()) return;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) {
            addError(QStringLiteral("Invalid command") + AtLine(n));
            return;
        }
        const QString key = line.left(eq).toUpper();
        const QString value = TrimTrailingBlanks(line.mid(eq + 1));
        if (key == QStringLiteral("ADDRESSEE") || key == QStringLiteral("ADDR") || key == QStringLiteral("TO")) {
            addRecipients(n, value, &m_.to);
        } else if (key == QStringLiteral("CARBONCOPY") || key == QStringLiteral("CC")) {
            addRecipients(n, value, &m_.cc);
        } else if (key == QStringLiteral("SUBJECT") || key == QStringLiteral("SUBJ")) {
            m_.subject += QLatin1Char(' ') + TrimBlanks(value);
            if (onSubject_) onSubject_(m_.subjectText());
        } else if (key == QStringLiteral("BODY")) {
            // Lines join with one blank (the note drops the first one), but
            // a line that begins after a break begins with its own text: a
            // blank there would indent every line after the first.
            const bool lineStart = m_.body.endsWith(CRLF);
            m_.body = TildesToBreaks(m_.body + (lineStart ? QString() : QStringLiteral(" ")) + TrimBlanks(value));
        } else if (key == QStringLiteral("ATTACHMENT") || key == QStringLiteral("ATT")) {
            attach(n, value);
        } else if (key == QStringLiteral("EMBED") || key == QStringLiteral("EMB")) {
            embed(n, value);
        } else if (key == QStringLiteral("MAXBODYBYTES") || key == QStringLiteral("MBB")) {
            const std::optional<double> v = NumericValue(value);
            if (!v) {
                addError(QStringLiteral("MAXBODYBYTES value not numeric") + AtLine(n));
                return;
            }
            const double limit = std::round(*v);
            m_.maxBody = limit < kMinMaxBody ? kMinMaxBody : (limit > 1e12 ? qint64(1e12) : qint64(limit));
        } else if (key == QStringLiteral("SENDIFNODATA") || key == QStringLiteral("SIND")) {
            const QString upper = TrimBlanks(value).toUpper();
            if (LeadingPartOf(upper, QStringLiteral("YES")))
                m_.sendIfNoData = true;
            else if (LeadingPartOf(upper, QStringLiteral("NO")))
                m_.sendIfNoData = false;
            else
                addError(QStringLiteral("Invalid SENDIFNODATA specification") + AtLine(n));
        } else {
            addError(QStringLiteral("Invalid command") + AtLine(n));
        }
    }

    void addRecipients(int n, const QString& value, QList<MailAddress>* list) {
        const std::optional<QList<MailAddress>> r = ResolveRecipients(value);
        if (!r) {
            addError(QStringLiteral("Invalid Addressee") + AtLine(n));
            return;
        }
        *list += *r;
    }

    // The file name of an ATT or EMB line. Its case is kept: names differ by
    // case on this system.
    static QString FileField(const QString& value) {
        return TrimBlanks(GetField(value, 1, QLatin1Char('"'), QLatin1Char(',')));
    }

    void attach(int n, const QString& value) {
        m_.asksForFiles = true;
        const QString file = FileField(value);
        LineOptions o;
        if (const std::optional<QString> e = ReadOptions(value, false, &o)) {
            addError(*e);
            return;
        }
        if (!QFileInfo(file).isFile()) {
            const QString text = QStringLiteral("Attach file (%1) not found").arg(file) + AtLine(n);
            if (o.noFile == QLatin1Char('E'))
                addError(text);
            else if (o.noFile == QLatin1Char('R'))
                m_.body += CRLF + text + CRLF;
            return;
        }
        m_.attachments.append({file, n});
        if (o.del) m_.deleteList << file;
        m_.foundData = true;
    }

    void embed(int n, const QString& value) {
        m_.asksForFiles = true;
        const QString file = FileField(value);
        LineOptions o;
        if (const std::optional<QString> e = ReadOptions(value, true, &o)) {
            addError(*e);
            return;
        }
        const QString name = FileNameOf(file);
        const QString folder = file.left(file.size() - name.size());
        const QStringList matches = EmbedMatches(folder, name);
        if (matches.isEmpty()) {
            EnsureLineEnd(m_.body);
            const QString text = QStringLiteral("Embed file (%1) not found").arg(file) + AtLine(n);
            if (o.noFile == QLatin1Char('E'))
                addError(text);
            else if (o.noFile == QLatin1Char('R'))
                m_.body += text + CRLF;
            return;
        }
        for (const QString& match : matches) {
            if (m_.body.size() > m_.maxBody) break;
            EnsureLineEnd(m_.body);
            const QString full = folder + match;
            if (QFileInfo(full).size() > 0) {
                QStringList lines;
                QString why;
                if (!ReadTextLines(full, &lines, &why)) {
                    addError(QStringLiteral("Embed file (%1) could not be read").arg(full) + AtLine(n) +
                             QStringLiteral(": ") + why);
                    continue;
                }
                m_.foundData = true;
                if (o.envelope == QLatin1Char('Y'))
                    m_.body += QStringLiteral("------File %1 follows:").arg(full) + CRLF;
                else if (o.envelope == QLatin1Char('C'))
                    m_.body += o.envelopeText + CRLF;
                for (const QString& l : lines) {
                    if (m_.body.size() > m_.maxBody) break;
                    m_.body += l + CRLF;
                }
                if (o.envelope == QLatin1Char('Y'))
                    m_.body += QStringLiteral("------End of File %1").arg(full) + CRLF + CRLF;
                else if (o.envelope == QLatin1Char('C'))
                    m_.body += o.envelopeText + CRLF;
            } else {
                const QString text = QStringLiteral("Embed file (%1) empty").arg(full) + AtLine(n);
                if (o.empty == QLatin1Char('E')) {
                    addError(text);
                    return;
                }
                if (o.empty == QLatin1Char('R')) m_.body += text + CRLF;
            }
            if (o.del) m_.deleteList << full;
        }
    }

    const std::function<void(const QString&)>& onSubject_;
    EojMessage m_;
};

}  // namespace

// Only the blank that the first join put in front is dropped: a body that
// begins with an embedded file or a report begins with a line break, and
// cutting that in half would leave a bare LF in the text.
QString EojMessage::noteText() const {
    return (body.startsWith(QLatin1Char(' ')) ? body.mid(1) : body) + CRLF + CRLF + CRLF;
}

QString EojMessage::subjectText() const { return subject.startsWith(QLatin1Char(' ')) ? subject.mid(1) : subject; }

EojMessage ParseEojMessage(const QStringList& Lines, const std::function<void(const QString&)>& OnSubject) {
    return Reader(OnSubject).read(Lines);
}

std::optional<QList<MailAddress>> ResolveRecipients(const QString& Value) {
    QList<MailAddress> out;
    for (const QString& part : Value.split(QLatin1Char(';'))) {
        if (part.trimmed().isEmpty()) continue;
        const std::optional<MailAddress> a = ParseMailAddress(part);
        if (!a) return std::nullopt;
        out << *a;
    }
    if (out.isEmpty()) return std::nullopt;
    return out;
}
