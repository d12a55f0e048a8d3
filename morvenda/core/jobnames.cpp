#include "morvenda/core/jobnames.h"

#include "common/prompter.h"
#include "common/text.h"
#include "morvenda/core/state.h"

namespace {

// The key names are compared by.
QString NameKey(const QString& name) { return name.trimmed().toUpper(); }

bool Ascii(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

char16_t AsciiUpper(char16_t u) { return u >= u'a' && u <= u'z' ? static_cast<char16_t>(u - 32) : u; }

// NameKey(name) written into the caller's buf, which keeps its storage:
// names are short ASCII texts in practice, so a lookup allocates nothing.
void KeyInto(const QString& name, QString& buf) {
    const QStringView t = QStringView(name).trimmed();
    if (!Ascii(t)) {
        buf = NameKey(name);
        return;
    }
    buf.resize(t.size());
    QChar* out = buf.data();
    for (qsizetype i = 0; i < t.size(); ++i) out[i] = QChar(AsciiUpper(t[i].unicode()));
}

// NameKey(name) == key, without making the key of name.
bool HasKey(const QString& name, const QString& key) {
    const QStringView t = QStringView(name).trimmed();
    if (!Ascii(t)) return NameKey(name) == key;
    if (t.size() != key.size()) return false;
    for (qsizetype i = 0; i < t.size(); ++i)
        if (AsciiUpper(t[i].unicode()) != key[i].unicode()) return false;
    return true;
}

// FNV-1a over the key's UTF-16 units.
std::uint32_t KeyHash(const QString& key) {
    std::uint32_t h = 2166136261u;
    for (const QChar c : key) h = (h ^ c.unicode()) * 16777619u;
    return h;
}

QString JobListText(const QString& list) { return list.mid(2).toUpper(); }

}  // namespace

int NameIndex::Find(const JobTable& Jobs, const QString& Name, bool Synced) {
    KeyInto(Name, key_);
    if (key_.isEmpty()) return 0;
    if (!Current(Jobs)) Rebuild(Jobs);
    const int i = Lookup(Jobs, key_);
    if (i > 0 || Synced) return i;
    // A miss may be a name written into a record since the index was built.
    const std::uint64_t before = generation_;
    Sync(Jobs);
    return generation_ == before ? 0 : Lookup(Jobs, key_);
}

bool NameIndex::Current(const JobTable& Jobs) const {
    return built_ && version_ == Jobs.Version() && names_.size() == Jobs.size();
}

bool NameIndex::Holds(const JobTable& Jobs, size_t JobIndex) const {
    return SameData(names_[JobIndex], Jobs[JobIndex].JobName);
}

void NameIndex::Sync(const JobTable& Jobs) {
    if (Current(Jobs)) {
        size_t j = 1;
        while (j < Jobs.size() && Holds(Jobs, j)) ++j;
        if (j >= Jobs.size()) return;
    }
    Rebuild(Jobs);
}

void NameIndex::Drop() {
    built_ = false;
    ++generation_;
}

void NameIndex::Rebuild(const JobTable& Jobs) {
    built_ = true;
    ++generation_;
    version_ = Jobs.Version();
    names_.resize(Jobs.size());
    // At most half full, so a probe ends soon.
    size_t capacity = 16;
    while (capacity < 2 * Jobs.size()) capacity *= 2;
    entries_.assign(capacity, 0);
    hashes_.assign(capacity, 0);
    QString key;
    for (size_t i = 1; i < Jobs.size(); ++i) {
        names_[i] = Jobs[i].JobName;
        KeyInto(Jobs[i].JobName, key);
        if (key.isEmpty()) continue;
        const std::uint32_t h = KeyHash(key);
        // The first job of a name is the one found.
        for (size_t s = h & (capacity - 1);; s = (s + 1) & (capacity - 1)) {
            if (entries_[s] == 0) {
                entries_[s] = static_cast<int>(i);
                hashes_[s] = h;
                break;
            }
            if (hashes_[s] == h && HasKey(Jobs[static_cast<size_t>(entries_[s])].JobName, key)) break;
        }
    }
}

int NameIndex::Lookup(const JobTable& Jobs, const QString& Key) const {
    const std::uint32_t h = KeyHash(Key);
    const size_t mask = entries_.size() - 1;
    for (size_t s = h & mask; entries_[s] != 0; s = (s + 1) & mask) {
        const auto i = static_cast<size_t>(entries_[s]);
        // Another name of the same hash goes on; so does a job renamed since,
        // which no longer has the name it was indexed under.
        if (hashes_[s] == h && i < Jobs.size() && HasKey(Jobs[i].JobName, Key)) return entries_[s];
    }
    return 0;
}

int FindJob(const QString& JobName) { return G.Deps.Names.Find(G.Jobs, JobName, false); }

void RenameJob(int JobIndex, const QString& NewName) {
    if (JobIndex < 1 || JobIndex > JobCount()) return;
    Job(JobIndex).JobName = NewName;
    // Every name resolved through the index may change with it.
    G.Deps.Names.Drop();
}

void UpdateDependents(const QString& OldName, QString& NewName) {
    const QString oldKey = NameKey(OldName);
    const bool rename = !NewName.isEmpty();
    QString list;
    if (!oldKey.isEmpty()) {
        for (int i = 1; i <= JobCount(); ++i) {
            JobRec& J = Job(i);
            for (QString& entry : J.RunAfter) {
                if (NameKey(entry) != oldKey) continue;
                if (rename) entry = NewName;
                list += QStringLiteral(", ") + J.JobName.trimmed();
            }
        }
    }
    if (!rename) {
        NewName = list;
        return;
    }
    if (!list.isEmpty())
        MsgBox(QStringLiteral("The following job(s): ") + JobListText(list) +
               QStringLiteral("  are dependent on this job and their references have been updated accordingly."));
}

void UpdateTriggerDependents(const QString& OldName, const QString& NewName) {
    if (NameKey(OldName).isEmpty()) return;
    const QString oldFile = NameKey(QStringLiteral("..") + OldName.trimmed());
    QString list;
    for (int i = 1; i <= JobCount(); ++i) {
        JobRec& J = Job(i);
        if (NameKey(J.WaitForFile) != oldFile) continue;
        J.WaitForFile = QStringLiteral("..") + NewName;
        list += QStringLiteral(", ") + J.JobName.trimmed();
    }
    if (list.isEmpty()) return;
    MsgBox(QStringLiteral("The following job(s): ") + JobListText(list) +
           QStringLiteral("  are dependent on this job's standard trigger file and their references have been updated "
                          "accordingly."));
    MsgBox(QStringLiteral("Dependent jobs in other schedules must be updated manually"));
}
