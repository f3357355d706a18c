#pragma once

#include <QString>

// What a helper that can fail hands back: its value, or the reason it has
// none, in words for the user. The caller decides what the user sees.
template <typename T> struct Result
{
    T value{};
    QString error;

    bool ok() const { return error.isEmpty(); }
    static Result failure(QString reason) { return Result{T{}, std::move(reason)}; }
};
