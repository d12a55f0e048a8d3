#include "common/fieldsplit_p.h"

// Index just past the closing quote of a quoted field that starts at `open`
// (the opening quote); a doubled quote is an escaped one. -1 when unclosed.
static qsizetype ClosingQuote(const QString& w, qsizetype open, QChar quote) {
    qsizetype i = open + 1;
    while (i < w.size()) {
        if (w[i] == quote) {
            if (i + 1 < w.size() && w[i + 1] == quote) {
                i += 2;
                continue;
            }
            return i;
        }
        ++i;
    }
    return -1;
}

QString TakePaddedField(const QString& w, int fieldNo, QChar quote, QChar sep) {
    qsizetype pos = 0;
    for (int f = 1; f < fieldNo; ++f) {
        if (pos >= w.size()) return QString();
        if (w[pos] == quote) {
            const qsizetype close = ClosingQuote(w, pos, quote);
            if (close < 0) return QString();  // the unclosed field ran to the end
            pos = close;
        }
        const qsizetype next = w.indexOf(sep, pos);
        if (next < 0) return QString();
        pos = next + 1;
    }
    if (pos >= w.size()) return QString();
    if (w[pos] == quote) {
        QString out;
        qsizetype i = pos + 1;
        while (i < w.size()) {
            if (w[i] == quote) {
                if (i + 1 < w.size() && w[i + 1] == quote) {
                    out += quote;
                    i += 2;
                    continue;
                }
                return out;
            }
            out += w[i];
            ++i;
        }
        // Unclosed quote: the field runs to the end of the text, without the
        // separators that padded the copy.
        while (!out.isEmpty() && out.back() == sep) out.chop(1);
        return out;
    }
    const qsizetype next = w.indexOf(sep, pos);
    return next < 0 ? w.mid(pos) : w.mid(pos, next - pos);
}
