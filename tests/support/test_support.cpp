#include "test_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>

::testing::AssertionResult is_near(double expected, double actual, double tolerance)
{
    if (std::fabs(expected - actual) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of "
                                         << expected;
}

int temporary_file()
{
    char name[] = "/tmp/test-output-XXXXXX";
    int fd = mkstemp(name);
    unlink(name);
    return fd;
}

int start_captured_child(int out_fd, int err_fd)
{
    fflush(nullptr);
    int pid = fork();
    if (pid == 0) {
        dup2(out_fd, STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
    }
    return pid;
}

static std::string read_all(int fd)
{
    std::string text;
    char buffer[4096];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

child_result finish_captured_child(int pid, int out_fd, int err_fd)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return {status, read_all(out_fd), read_all(err_fd)};
}

static uint64_t add_bits(uint64_t hash, uint64_t bits, int bytes)
{
    for (int i = 0; i < bytes; i++)
        hash = (hash ^ ((bits >> (8 * i)) & 0xff)) * 0x100000001b3u;
    return hash;
}

template <class Bits, class Float> static uint64_t hash_bits(const std::vector<Float> &values)
{
    static_assert(sizeof(Bits) == sizeof(Float));
    uint64_t hash = 0xcbf29ce484222325u;
    for (Float value : values) {
        Bits bits;
        std::memcpy(&bits, &value, sizeof bits);
        hash = add_bits(hash, bits, sizeof bits);
    }
    return hash;
}

uint64_t bits_hash(const std::vector<float> &values)
{
    return hash_bits<uint32_t>(values);
}

uint64_t bits_hash(const std::vector<double> &values)
{
    return hash_bits<uint64_t>(values);
}
