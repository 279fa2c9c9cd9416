// Periods and pauses of the task layer, in milliseconds.
#pragma once

constexpr int kSchedulerPeriodMs = 100;
constexpr int kStopNodesPauseMs = 210; // lets the sender notice a command that lost its nodes
constexpr int kCancelPauseMs = 20;
