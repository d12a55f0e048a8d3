#include "common/constants.h"
#include "common/fatal.h"
#include "common/ini.h"
#include "morvenda/startup/startup.h"
#include "mrvemail/emailconfig.h"
#include "tests/readers/fuzz/fuzz.h"

// INI files. A document gives back every byte it read; a key written into it
// reads back as written while every other key keeps its value, and a key
// added and removed again leaves the bytes as they were. The programs'
// readers of their configuration (the scheduler's start-up check, the
// e-mailer's configuration and mail server keys) take any file without
// writing to it.

namespace {

const QString kAdded = QStringLiteral("FuzzAdded");

// The names of the document's sections, as its headers give them.
QStringList SectionNames(const IniDocument& Doc) {
    QStringList names;
    for (const QString& line : Doc.lines()) {
        const QString t = line.trimmed();
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (t.startsWith(QLatin1Char('[')) && close > 0 && Doc.hasSection(t.mid(1, close - 1).trimmed()))
            names << t.mid(1, close - 1).trimmed();
    }
    return names;
}

// Every key of the section but the added one.
QList<QPair<QString, QString>> OtherEntries(const IniDocument& Doc, const QString& Section) {
    QList<QPair<QString, QString>> out = Doc.entries(Section);
    out.removeIf([](const QPair<QString, QString>& e) { return e.first.compare(kAdded, Qt::CaseInsensitive) == 0; });
    return out;
}

void CheckWrite(const QByteArray& Bytes) {
    const IniDocument doc = IniDocument::fromBytes(Bytes);
    const QStringList sections = SectionNames(doc);
    // The value written is one the file holds (the last key's), so the
    // fuzzer chooses it too.
    QString value = QStringLiteral("value");
    for (const QString& s : sections)
        for (const auto& e : doc.entries(s)) value = e.second;
    const QString target = sections.isEmpty() ? QStringLiteral("FuzzSection") : sections.first();

    IniDocument changed = doc;
    changed.setValue(target, kAdded, value);
    const QByteArray written = changed.toBytes();
    const IniDocument reread = IniDocument::fromBytes(written);
    Require(reread.value(target, kAdded) == value,
            QStringLiteral("a key written as \"%1\" reads back as \"%2\"")
                .arg(value, reread.value(target, kAdded).value_or(QStringLiteral("(missing)"))));
    for (const QString& s : sections)
        Require(OtherEntries(reread, s) == OtherEntries(doc, s),
                QStringLiteral("writing a key changed the other keys of section \"%1\"").arg(s));

    if (!sections.isEmpty() && !doc.value(target, kAdded)) {
        changed.removeKey(target, kAdded);
        Require(changed.toBytes() == Bytes, "a key added and removed again changed the file");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const QByteArray bytes = InputBytes(Data, Size);
    FreshScheduler();
    InputFolder folder(QStringLiteral("ini"));
    const QString path = folder.put(QStringLiteral("fuzz.ini"), bytes);

    const IniDocument doc = IniDocument::load(path);
    Require(doc.toBytes() == bytes, "an unchanged document does not give back the bytes it read");
    CheckWrite(bytes);

    EmailConfig config;
    (void)LoadEmailConfig(path, &config);
    QString why;
    (void)ReadSmtpSettings(path, QString(), &why);
    const QStringList sections = SectionNames(doc);
    if (!sections.isEmpty()) (void)ReadSmtpSettings(path, sections.last(), &why);
    try {
        CheckScheduleIni(path);
    } catch (const FatalStop&) {
        // A file that is no schedule configuration is refused.
    }
    folder.requireUnchanged("reading a configuration file changed its folder");
    return 0;
}
