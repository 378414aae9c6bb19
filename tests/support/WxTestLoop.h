// The wx event loop for window tests: one wx application for the whole test
// program, and helpers that run pending events while a test waits.
#pragma once
#include <functional>

// Runs pending events for about `ms` milliseconds.
void Pump(int ms = 30);
// Pumps until pred() holds or `ms` pass; returns pred().
bool PumpUntil(const std::function<bool()>& pred, int ms = 5000);
// Starts wx, runs every test inside an active event loop, ends wx; the
// result is RUN_ALL_TESTS()'s.
int RunWxTests(int argc, char** argv);
