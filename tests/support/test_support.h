// Helpers shared by the unit tests of both programs: one tolerance
// comparison, and running a piece of code in a child process to observe
// how it ends (exit status and what it wrote).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

// The tolerance for values that are computed, not promised exactly.
constexpr double TOLERANCE = 1e-9;

::testing::AssertionResult is_near(double expected, double actual, double tolerance = TOLERANCE);

// FNV-1a over the values' bit patterns, each taken from its least
// significant byte up: equal on every architecture, big-endian ones too,
// exactly when the values are the same bits.
uint64_t bits_hash(const std::vector<float> &values);
uint64_t bits_hash(const std::vector<double> &values);

struct child_result {
    int status;       // as waitpid reports it
    std::string out;  // standard output
    std::string err;  // standard error
};

// Forks, runs body() in the child with stdout and stderr captured, and exits
// the child with 0 if body returns.
template <typename Body> child_result run_in_child(Body body);

int start_captured_child(int out_fd, int err_fd);
child_result finish_captured_child(int pid, int out_fd, int err_fd);
int temporary_file();

template <typename Body> child_result run_in_child(Body body)
{
    int out_fd = temporary_file(), err_fd = temporary_file();
    int pid = start_captured_child(out_fd, err_fd);
    if (pid == 0) {
        body();
        _exit(0);
    }
    return finish_captured_child(pid, out_fd, err_fd);
}
