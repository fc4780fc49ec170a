#pragma once
// Runs a function when the scope ends, however it ends: a flag set for the
// length of a call is cleared also when the call raises.

#include <utility>

template <class TFunction>
class TScopeExit {
public:
    explicit TScopeExit(TFunction function) : FFunction(std::move(function)) {}
    ~TScopeExit() { FFunction(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    TFunction FFunction;
};
