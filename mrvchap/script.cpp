#include "mrvchap/script.h"

#include "common/getfield.h"
#include "common/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <unistd.h>
#include <cmath>

ChaperoneCommandLine ParseChaperoneCommandLine(const QString& CommandLine) {
    ChaperoneCommandLine c;
    c.script = GetField(CommandLine, 1, QLatin1Char('"'), QLatin1Char(','));
    for (int i = 0; i < 5; ++i) c.parms[i] = GetField(CommandLine, i + 2, QLatin1Char('"'), QLatin1Char(','));
    return c;
}

QString UnQuote(const QString& Text) {
    if (Text.size() >= 2 && Text.startsWith(u'"') && Text.endsWith(u'"')) return Text.mid(1, Text.size() - 2);
    return Text;
}

std::optional<ScriptCommand> ParseCommand(const QString& Row) {
    if (!Row.startsWith(u'[')) return std::nullopt;
    const qsizetype close = Row.indexOf(u']');
    if (close < 0) return std::nullopt;
    const QString inner = Row.mid(1, close - 1);
    const qsizetype blank = inner.indexOf(u' ');
    ScriptCommand c;
    c.verb = (blank < 0 ? inner : inner.left(blank)).toLower();
    if (blank >= 0) c.value = inner.mid(blank + 1).trimmed();
    return c;
}

bool IsNoSkip(const QString& Row) { return Row.trimmed().toLower() == u"[noskip]"; }

QString DefaultLockFile() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) return JoinPath(runtime, QStringLiteral("MRVChap.Lck"));
    return JoinPath(QDir::tempPath(), QStringLiteral("MRVChap.%1.Lck").arg(::getuid()));
}

QString ScriptLogPath(const QString& BaseName) {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty()) state = JoinPath(QDir::homePath(), QStringLiteral(".local/state"));
    return JoinPath(JoinPath(state, QStringLiteral("Morvenda")),
                    QStringLiteral("MRVChap.") + BaseName + QStringLiteral(".log"));
}

QString ScriptBaseName(const QString& FileName) {
    const qsizetype dot = FileName.lastIndexOf(u'.');
    return dot < 0 ? FileName : FileName.left(dot);
}

QStringList ListScripts(const QString& Folder, const QString& Pattern) {
    QStringList names;
    const QStringList files = QDir(Folder).entryList({Pattern}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& f : files) names.append(ScriptBaseName(f));
    return names;
}

ScriptPlace ScriptPlaceOf(const QString& Script, const QString& ProgramFolder) {
    if (Script.isEmpty()) return {ProgramFolder, QStringLiteral("*.key")};
    // A folder may be written with "\" as well as "/".
    const qsizetype slash = qMax(Script.lastIndexOf(u'/'), Script.lastIndexOf(u'\\'));
    if (slash < 0) return {ProgramFolder, Script};
    return {slash == 0 ? QStringLiteral("/") : Script.left(slash), Script.mid(slash + 1)};
}

namespace {

// Appends a loader message to the row at hand and marks the row.
void Fail(LoadedScript& s, DiagList& diag, int row, const QString& message) {
    diag.select(row);
    diag.AppendDiag(message);
    diag.markError(row);
    s.error = true;
}

void CheckNoVal(LoadedScript& s, DiagList& diag, int row, const ScriptCommand& c) {
    if (!c.value.isEmpty()) Fail(s, diag, row, QStringLiteral(" - A value is not allowed") + kErrorMark);
}

void CheckValStr(LoadedScript& s, DiagList& diag, int row, const ScriptCommand& c) {
    if (UnQuote(c.value) != c.value) return;
    if (c.value.contains(u' '))
        Fail(s, diag, row, QStringLiteral(" - Embedded spaces in unenquoted value") + kErrorMark);
}

}  // namespace

bool IsNumericValue(const QString& Value) {
    bool ok = false;
    const double v = Value.trimmed().toDouble(&ok);
    return ok && std::isfinite(v);
}

namespace {

void CheckValNum(LoadedScript& s, DiagList& diag, int row, const ScriptCommand& c) {
    if (!IsNumericValue(c.value)) Fail(s, diag, row, QStringLiteral(" - Value not numeric") + kErrorMark);
}

bool IsJump(const QString& verb) { return verb == u"goto" || verb == u"found" || verb == u"notfound"; }

}  // namespace

LoadedScript CheckScript(const QStringList& Lines, DiagList& Diag) {
    LoadedScript s;
    Diag.clear();
    bool skipping = false;
    // Labels by name, so a long script with many labels and jumps loads in
    // time proportional to its length.
    QHash<QString, int> labelRows;
    s.lines.reserve(Lines.size());
    s.jumpTarget.reserve(Lines.size());
    for (const QString& line : Lines) {
        const int row = static_cast<int>(s.lines.size());
        s.lines.append(line);
        s.jumpTarget.append(-1);
        Diag.LogDiag(line);
        if (skipping) {
            skipping = !IsNoSkip(line);
            continue;
        }
        const std::optional<ScriptCommand> c = ParseCommand(line);
        if (!c) continue;
        const QString& v = c->verb;
        if (v == u"rem" || v == u"wait") {
        } else if (v == u"validate") {
            s.validateOnly = true;
        } else if (v == u"diag" || v == u"log" || v == u"clearclipboard" || v == u"copy" || v == u"paste" ||
                   v == u"ontop" || v == u"notontop" || v == u"exit") {
            CheckNoVal(s, Diag, row, *c);
        } else if (v == u"skip") {
            CheckNoVal(s, Diag, row, *c);
            skipping = true;
        } else if (v == u"exec" || IsJump(v) || v == u"checkforwindowtext" || v == u"waitforwindowtext" ||
                   v == u"checkforwindowtitle" || v == u"waitforwindowtitle") {
            CheckValStr(s, Diag, row, *c);
        } else if (v == u"label") {
            CheckValStr(s, Diag, row, *c);
            const QString name = UnQuote(c->value).toLower();
            if (labelRows.contains(name)) {
                Fail(s, Diag, row, QStringLiteral(" - Duplicate label"));
            } else {
                labelRows.insert(name, row);
                s.labels.append({name, row});
            }
        } else if (v == u"delay" || v == u"timeout") {
            CheckValNum(s, Diag, row, *c);
        } else if (v == u"lockfile") {
            s.lockFile = c->value.isEmpty() ? DefaultLockFile() : UnQuote(c->value);
            if (!QFileInfo::exists(s.lockFile)) {
                Fail(s, Diag, row, QStringLiteral(" Lock file does not exist") + kErrorMark);
                s.lockMissing = true;
                return s;
            }
        } else {
            Fail(s, Diag, row, QStringLiteral(" - Invalid command ") + kErrorMark);
        }
    }
    for (int row = 0; row < s.lines.size(); ++row) {
        const std::optional<ScriptCommand> c = ParseCommand(s.lines[row]);
        if (!c || !IsJump(c->verb)) continue;
        s.jumpTarget[row] = labelRows.value(UnQuote(c->value).toLower(), -1);
        if (s.jumpTarget[row] < 0) Fail(s, Diag, row, QStringLiteral(" - Label not found"));
    }
    return s;
}

LoadedScript LoadScript(const QString& Path, const QString& BaseName, DiagList& Diag) {
    QByteArray bytes;
    QString error;
    // A file with NUL bytes is no text: typed row by row it would send
    // whatever its bytes happen to spell.
    if (ReadFileBytes(Path, &bytes, &error) && bytes.contains('\0'))
        error = QStringLiteral("\"%1\" is not a keystroke script: it holds binary data").arg(Path);
    if (!error.isEmpty()) {
        Diag.clear();
        LoadedScript s;
        s.baseName = BaseName;
        s.readError = error;
        s.error = true;
        return s;
    }
    LoadedScript s = CheckScript(SplitLines(DecodeText(bytes)), Diag);
    s.baseName = BaseName;
    return s;
}

QString ScriptFileName(const QString& Folder, const QString& Listed, const QString& Extension) {
    const QString exact = Listed + QLatin1Char('.') + Extension;
    if (QFileInfo(JoinPath(Folder, exact)).isFile()) return exact;
    const QStringList files = QDir(Folder).entryList(QDir::Files, QDir::Name);
    for (const QString& f : files)
        if (f.size() == exact.size() && f.startsWith(Listed) && f.endsWith(Extension, Qt::CaseInsensitive) &&
            f[Listed.size()] == u'.')
            return f;
    return exact;
}
