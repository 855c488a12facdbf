// Several copies of the test helper program (orvane_test_helper) started at once, for tests of
// what processes share: each prints "ready" when it is set up, and all are let go together.
#pragma once

#include <QStringList>
#include <vector>

// Starts one helper for each argument list, waits until every one is ready, lets them all go
// at once and waits for their end (each bounded); answers their exit codes in order, -1 for one
// that did not start, get ready or end in time, or crashed.
std::vector<int> RunHelpersTogether(const std::vector<QStringList>& arguments);
