#pragma once
// What the tests against the private Dovecot and Exim servers share: the
// servers.env their fixture writes and running a command (doveadm, qrltool)
// from a test.
#include "platform/files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/wait.h>

namespace mailtest {

// The KEY=value lines of servers.env in the folder named by the environment
// variable `variable` (empty: the fixture did not run).
inline std::map<std::string, std::string> ServerEnv(const char* variable) {
    std::map<std::string, std::string> env;
    const char* dir = std::getenv(variable);
    std::string text;
    if (!dir || !quorel::ReadWholeFile(std::filesystem::path(dir) / "servers.env", text))
        return env;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        std::string line = text.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
        pos = lf == std::string::npos ? text.size() : lf + 1;
        auto eq = line.find('=');
        if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return env;
}

// Runs command with input on its standard input (or reads its output when
// input is empty). With rc the exit status goes there (-1: the command did
// not start or did not exit); without it a failing status fails the test.
inline std::string Shell(const std::string& command, const std::string& input = {},
                         int* rc = nullptr) {
    std::string out;
    if (rc) *rc = -1;
    FILE* f = popen(command.c_str(), input.empty() ? "r" : "w");
    if (!f) {
        if (!rc) ADD_FAILURE() << "could not start: " << command;
        return out;
    }
    if (!input.empty()) {
        fwrite(input.data(), 1, input.size(), f);
    } else {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
    }
    const int status = pclose(f);
    if (rc)
        *rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    else
        EXPECT_EQ(status, 0) << command;
    return out;
}

} // namespace mailtest
