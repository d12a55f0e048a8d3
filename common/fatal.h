#pragma once

#include <QString>

#include <exception>

/// Thrown to end a program in an orderly way once its reason has been shown and
/// logged. Each program's main catches it and exits with status 1, so a test can
/// observe a fatal stop without losing its own process.
class FatalStop : public std::exception {
public:
    explicit FatalStop(QString reason) : reason_(std::move(reason)) {}
    const QString& reason() const { return reason_; }
    const char* what() const noexcept override { return "Morvenda fatal stop"; }

private:
    QString reason_;
};
