// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kovrel::server::test {

// The real kovrel-server, started on a free port of 127.0.0.1. Its log goes to a file the test can read, or
// into a pipe whose reader the test can close; it is killed if the test ends without stopping it.
class ServerProcess
{
public:
    enum class LogTo
    {
        File,
        Pipe
    };

    explicit ServerProcess(const std::vector<std::string>& arguments = {}, LogTo logTo = LogTo::File);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    unsigned short port() const { return m_port; }
    // The port of the first --tls-listen, as the log names it; 0 without one.
    unsigned short tlsPort() const;
    pid_t pid() const { return m_pid; }

    void signal(int signal);
    // Waits for the exit; returns the exit status, or -1 if it did not exit normally.
    int waitForExit();

    std::string log() const;
    // Waits until the log holds `text`; false (after a generous deadline) if it never comes.
    bool waitForLog(std::string_view text) const;

    // With LogTo::Pipe: the log reader goes away, as a log collector that exits does.
    void closeLogReader();

private:
    // Kills the server if it still runs and removes its log.
    void discard();

    pid_t m_pid = -1;
    unsigned short m_port = 0;
    std::filesystem::path m_logFile;
    int m_logReader = -1;
};

// A real redis-server on a free port of 127.0.0.1, keeping nothing on disk, its files in `directory`.
class RedisProcess
{
public:
    // The redis-server on the PATH; nothing when it is not installed.
    static std::optional<std::filesystem::path> executable();

    // With a password, Redis refuses every command of a connection that has not authenticated.
    explicit RedisProcess(std::filesystem::path directory, std::string password = {});
    ~RedisProcess();
    RedisProcess(const RedisProcess&) = delete;
    RedisProcess& operator=(const RedisProcess&) = delete;

    unsigned short port() const { return m_port; }
    std::string url() const { return "redis://127.0.0.1:" + std::to_string(m_port); }

    // Runs a command with redis-cli (installed beside redis-server) and returns what it printed.
    std::string command(const std::vector<std::string>& arguments) const;

    // Kills it (no clean shutdown: it goes away as a crashed machine does).
    void kill();
    // Starts it again on the same port, empty.
    void restart();

private:
    // Starts on m_port; false when it exits at once (the port was taken meanwhile).
    bool startOnPort();

    std::filesystem::path m_directory;
    std::string m_password;
    pid_t m_pid = -1;
    unsigned short m_port = 0;
};

struct ProgramResult
{
    int exitStatus = -1;
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs a program to its end, with `input` on its standard input.
ProgramResult runProgram(const std::vector<std::string>& command, std::string_view input = {});

// Starts a program and returns at once, its output thrown away; the caller kills it or waits for it.
pid_t startProgram(const std::vector<std::string>& command);

// A scratch folder that is removed, with what it holds, at the end of the test.
class TemporaryDirectory
{
public:
    TemporaryDirectory();
    ~TemporaryDirectory();

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A scratch file that is removed at the end of the test.
class TemporaryFile
{
public:
    explicit TemporaryFile(const std::string& content);
    ~TemporaryFile();

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace kovrel::server::test
