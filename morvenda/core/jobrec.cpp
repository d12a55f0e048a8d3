#include "morvenda/core/jobrec.h"

#include <algorithm>

// Each change first, then the count: a reader that sees the new version sees
// the records it stands for.

JobTable& JobTable::operator=(const JobTable& Other) {
    if (this != &Other) jobs_ = Other.jobs_;
    Changed();
    return *this;
}

JobTable& JobTable::operator=(JobTable&& Other) noexcept {
    if (this != &Other) {
        jobs_ = std::move(Other.jobs_);
        Other.jobs_.clear();
        Other.Changed();
    }
    Changed();
    return *this;
}

void JobTable::resize(size_t Count) {
    jobs_.resize(Count);
    Changed();
}

void JobTable::push_back(const JobRec& Job) {
    jobs_.push_back(Job);
    Changed();
}

void JobTable::push_back(JobRec&& Job) {
    jobs_.push_back(std::move(Job));
    Changed();
}

JobRec& JobTable::emplace_back() {
    jobs_.emplace_back();
    Changed();
    return jobs_.back();
}

void JobTable::pop_back() {
    jobs_.pop_back();
    Changed();
}

JobTable::iterator JobTable::insert(const_iterator Where, const JobRec& Job) {
    const auto it = jobs_.insert(Where, Job);
    Changed();
    return it;
}

JobTable::iterator JobTable::erase(const_iterator Where) {
    const auto it = jobs_.erase(Where);
    Changed();
    return it;
}

JobTable::iterator JobTable::erase(const_iterator First, const_iterator Last) {
    const auto it = jobs_.erase(First, Last);
    Changed();
    return it;
}

void JobTable::clear() {
    jobs_.clear();
    Changed();
}

void JobTable::Swap(size_t A, size_t B) {
    if (A >= jobs_.size() || B >= jobs_.size() || A == B) return;
    std::swap(jobs_[A], jobs_[B]);
    Changed();
}

void JobTable::Move(size_t From, size_t To) {
    if (From >= jobs_.size() || To >= jobs_.size() || From == To) return;
    const auto first = jobs_.begin();
    if (From < To)
        std::rotate(first + static_cast<std::ptrdiff_t>(From), first + static_cast<std::ptrdiff_t>(From) + 1,
                    first + static_cast<std::ptrdiff_t>(To) + 1);
    else
        std::rotate(first + static_cast<std::ptrdiff_t>(To), first + static_cast<std::ptrdiff_t>(From),
                    first + static_cast<std::ptrdiff_t>(From) + 1);
    Changed();
}
