#include "common/textfile.h"
#include "mrvchap/diaglist.h"
#include "mrvchap/script.h"
#include "tests/readers/fuzz/fuzz.h"

// Keystroke scripts, loaded as the chaperone loads them. Loading changes no
// file; a file with NUL bytes loads nothing; any other gives one list row per
// line read (up to a missing lock file, where loading stops); every jump of a
// script without errors lands on the label it names, and labels are unique.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const QByteArray bytes = InputBytes(Data, Size);
    InputFolder folder(QStringLiteral("script"));
    const QString path = folder.put(QStringLiteral("fuzz.key"), bytes);

    DiagList diag;
    const LoadedScript s = LoadScript(path, QStringLiteral("fuzz"), diag);
    folder.requireUnchanged("loading a script changed its folder");
    if (bytes.contains('\0')) {
        Require(s.error && !s.readError.isEmpty() && s.lines.isEmpty(), "a script with NUL bytes was loaded");
        return 0;
    }
    Require(s.readError.isEmpty(), "a script that was written cannot be read");

    const QStringList lines = SplitLines(DecodeText(bytes));
    Require(s.lines == (s.lockMissing ? lines.mid(0, s.lines.size()) : lines), "the script's lines are not the file's");
    Require(s.jumpTarget.size() == s.lines.size() && diag.count() == s.lines.size(),
            "the script does not have one row for each line");

    QStringList names;
    for (const auto& [name, row] : s.labels) {
        Require(!names.contains(name), QStringLiteral("the label \"%1\" is kept twice").arg(name));
        names << name;
        const std::optional<ScriptCommand> c = ParseCommand(s.lines.value(row));
        Require(c && c->verb == u"label" && UnQuote(c->value).toLower() == name,
                QStringLiteral("the label \"%1\" is kept for a row that is no such label").arg(name));
    }
    for (int row = 0; row < s.jumpTarget.size(); ++row) {
        const int to = s.jumpTarget[row];
        if (to < 0) {
            const std::optional<ScriptCommand> c = ParseCommand(s.lines[row]);
            const bool jump = c && (c->verb == u"goto" || c->verb == u"found" || c->verb == u"notfound");
            Require(!jump || s.error || s.lockMissing,
                    QStringLiteral("line %1 jumps nowhere in a script without errors").arg(row + 1));
            continue;
        }
        const std::optional<ScriptCommand> c = ParseCommand(s.lines[row]);
        const std::optional<ScriptCommand> label = ParseCommand(s.lines.value(to));
        Require(c && label && label->verb == u"label" && UnQuote(label->value).toLower() == UnQuote(c->value).toLower(),
                QStringLiteral("line %1 jumps to line %2, which is not its label").arg(row + 1).arg(to + 1));
    }
    return 0;
}
