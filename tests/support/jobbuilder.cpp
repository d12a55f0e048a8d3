#include "tests/support/jobbuilder.h"

#include "common/constants.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/state.h"

JobBuilder::JobBuilder(const QString& Name) { job_.JobName = Name; }

JobBuilder& JobBuilder::group(const QString& Group) {
    job_.Group = Group;
    return *this;
}

JobBuilder& JobBuilder::frequency(const QString& Frequency) {
    job_.Frequency = Frequency;
    return *this;
}

JobBuilder& JobBuilder::command(const QString& Command) {
    job_.CommandLine = Command;
    return *this;
}

JobBuilder& JobBuilder::after(const QString& Names, const QString& Letters) {
    if (Names.isEmpty()) return *this;
    job_.RunAfter = Names.split(QLatin1Char(','));
    job_.RunAfterStatus = Letters.isEmpty() ? QString(job_.RunAfter.size(), QLatin1Char('S')) : Letters;
    job_.RunAfterUnsched = QString(job_.RunAfterStatus.size(), QLatin1Char('N'));
    return *this;
}

JobBuilder& JobBuilder::flag(const QString& SchedFlag) {
    job_.SchedFlag = SchedFlag;
    return *this;
}

JobBuilder& JobBuilder::ran(DateVal Started, DateVal Completed, bool Killed) {
    job_.Started = Started;
    job_.Completed = Completed;
    job_.Killed = Killed;
    return *this;
}

JobBuilder& JobBuilder::defaultDateVars() {
    job_.DateVars = gDefDateVars;
    return *this;
}

JobBuilder& JobBuilder::with(const std::function<void(JobRec&)>& Change) {
    Change(job_);
    return *this;
}

int JobBuilder::add() const {
    G.Jobs.push_back(job_);
    return JobCount();
}

int JobBuilder::addEvaluated() const {
    const int j = add();
    SetJobStatus(j);
    return j;
}

int AddJobs(std::initializer_list<JobBuilder> Jobs) {
    int last = 0;
    for (const JobBuilder& b : Jobs) last = b.add();
    return last;
}
