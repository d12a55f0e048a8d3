#pragma once

#include "morvenda/core/jobrec.h"

#include <QString>

#include <functional>
#include <initializer_list>

// Jobs for the tests: defaults, with only what a test is about named.

/// A job named Name with no group, frequency or command line; each setter
/// changes one thing and returns the builder, add() appends the job.
class JobBuilder {
public:
    explicit JobBuilder(const QString& Name = QString());
    JobBuilder& group(const QString& Group);
    JobBuilder& frequency(const QString& Frequency);
    JobBuilder& command(const QString& Command);
    /// Prerequisites, comma-separated, with their condition letters (default:
    /// each must succeed) and no unschedule flag; none when Names is empty.
    JobBuilder& after(const QString& Names, const QString& Letters = QString());
    JobBuilder& flag(const QString& SchedFlag);
    /// Started at Started and, unless Completed is null, ended then (Killed:
    /// killed).
    JobBuilder& ran(DateVal Started, DateVal Completed = DateVal(), bool Killed = false);
    /// The default date variables, as a new job has them.
    JobBuilder& defaultDateVars();
    /// Any other change.
    JobBuilder& with(const std::function<void(JobRec&)>& Change);

    const JobRec& rec() const { return job_; }
    /// Appends the job to G.Jobs; returns its index.
    int add() const;
    /// add(), then the job's state as the status decision derives it.
    int addEvaluated() const;

private:
    JobRec job_;
};

/// Appends the jobs in order; returns the index of the last.
int AddJobs(std::initializer_list<JobBuilder> Jobs);
