#pragma once

#include <filesystem>
#include <string>
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

    void signal(int signal);
    // Waits for the exit; returns the exit status, or -1 if it did not exit normally.
    int waitForExit();

    std::string log() const;

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

struct ProgramResult
{
    int exitStatus = -1;
    std::string output; // standard output
};

// Runs a program to its end.
ProgramResult runProgram(const std::vector<std::string>& command);

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
