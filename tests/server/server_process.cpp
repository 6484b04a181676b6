// SPDX-License-Identifier: GPL-3.0-or-later
#include "server_process.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kovrel::server::test {
namespace {

// A safety bound for the server to start; it normally takes milliseconds.
constexpr int kStartupTimeoutMs = 30000;

std::filesystem::path uniquePath(const std::string& stem)
{
    static std::atomic<int> counter = 0;
    return std::filesystem::temp_directory_path() /
           (stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
}

std::string contentOf(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Reads the first line the server prints.
std::string readFirstLine(int fd)
{
    std::string line;
    char c = 0;
    pollfd readable{fd, POLLIN, 0};
    while (::poll(&readable, 1, kStartupTimeoutMs) > 0 && ::read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

// Starts `command` with its standard output going into a pipe and its standard error into `errorFile`, or
// into `errorPipe` when that is open, and its standard input from `inputFile` when one is named; returns
// the process and the output pipe's reading end.
std::pair<pid_t, int> spawn(std::vector<std::string> command, const std::filesystem::path& errorFile,
                            int errorPipe = -1, const std::filesystem::path& inputFile = {})
{
    std::vector<char*> argv;
    for (std::string& argument : command) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    if (!inputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputFile.c_str(), O_RDONLY, 0);
    }
    if (errorPipe >= 0) {
        posix_spawn_file_actions_adddup2(&actions, errorPipe, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(output[0]);
        throw std::runtime_error("cannot start " + command[0]);
    }
    return {pid, output[0]};
}

// A port that was free a moment ago: bound to port 0, read back and released. Another program may take it
// before it is used, so the caller tries again when it is taken.
unsigned short freeLoopbackPort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("no free port");
    }
    ::close(socket);
    return ntohs(address.sin_port);
}

bool acceptsConnections(unsigned short port)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(socket);
    return connected;
}

bool stillRunning(pid_t pid)
{
    return ::waitpid(pid, nullptr, WNOHANG) == 0;
}

// Kills the process, if there is one, and waits for it so that no zombie is left.
void killAndReap(pid_t& pid)
{
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(std::exchange(pid, -1), nullptr, 0);
    }
}

int exitStatusOf(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ServerProcess::ServerProcess(const std::vector<std::string>& arguments, LogTo logTo)
    : m_logFile(uniquePath("kovrel-server-log"))
{
    std::vector<std::string> command = {KOVREL_SERVER_PATH, "--listen", "127.0.0.1:0"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    int logPipe[2] = {-1, -1};
    if (logTo == LogTo::Pipe && ::pipe2(logPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    m_logReader = logPipe[0];
    int output = -1;
    std::tie(m_pid, output) = spawn(command, m_logFile, logPipe[1]);
    if (logPipe[1] >= 0) {
        ::close(logPipe[1]);
    }
    const std::string line = readFirstLine(output);
    ::close(output);
    const std::string prefix = "listening on 127.0.0.1:";
    if (!line.starts_with(prefix)) {
        const std::string error = "unexpected first line \"" + line + "\"; log:\n" + log();
        discard(); // the destructor does not run for a constructor that throws
        throw std::runtime_error(error);
    }
    m_port = static_cast<unsigned short>(std::stoi(line.substr(prefix.size())));
}

ServerProcess::~ServerProcess()
{
    discard();
}

void ServerProcess::discard()
{
    killAndReap(m_pid);
    closeLogReader();
    std::error_code ignored;
    std::filesystem::remove(m_logFile, ignored);
}

void ServerProcess::closeLogReader()
{
    if (m_logReader >= 0) {
        ::close(std::exchange(m_logReader, -1));
    }
}

unsigned short ServerProcess::tlsPort() const
{
    // Logged before the addresses are printed, so it is there once the server has started.
    const std::string prefix = " tls - - listening on 127.0.0.1:";
    const std::string text = log();
    const std::size_t at = text.find(prefix);
    return at == std::string::npos ? 0
                                   : static_cast<unsigned short>(std::stoi(text.substr(at + prefix.size())));
}

void ServerProcess::signal(int signal)
{
    ::kill(m_pid, signal);
}

int ServerProcess::waitForExit()
{
    return exitStatusOf(std::exchange(m_pid, -1));
}

std::string ServerProcess::log() const
{
    return contentOf(m_logFile);
}

bool ServerProcess::waitForLog(std::string_view text) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartupTimeoutMs / 1000);
    while (log().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::optional<std::filesystem::path> RedisProcess::executable()
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/usr/sbin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / "redis-server";
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

RedisProcess::RedisProcess(std::filesystem::path directory, std::string password)
    : m_directory(std::move(directory)), m_password(std::move(password))
{
    constexpr int kAttempts = 10;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        m_port = freeLoopbackPort();
        if (startOnPort()) {
            return;
        }
    }
    throw std::runtime_error("redis-server did not start on any of " + std::to_string(kAttempts) + " ports");
}

RedisProcess::~RedisProcess()
{
    kill();
}

std::string RedisProcess::command(const std::vector<std::string>& arguments) const
{
    const std::filesystem::path cli = executable().value_or("redis-server").parent_path() / "redis-cli";
    std::vector<std::string> command = {cli.string(), "-p", std::to_string(m_port)};
    if (!m_password.empty()) {
        command.insert(command.end(), {"--no-auth-warning", "-a", m_password});
    }
    command.insert(command.end(), arguments.begin(), arguments.end());
    return runProgram(command).output;
}

void RedisProcess::kill()
{
    killAndReap(m_pid);
}

void RedisProcess::restart()
{
    kill();
    // The port was just released; a program that took it meanwhile is waited out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartupTimeoutMs / 1000);
    while (!startOnPort()) {
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("redis-server did not start again on port " + std::to_string(m_port));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

bool RedisProcess::startOnPort()
{
    const std::filesystem::path log = m_directory / "redis.log";
    std::vector<std::string> command = {executable().value_or("redis-server").string(),
                                        "--port",
                                        std::to_string(m_port),
                                        "--bind",
                                        "127.0.0.1",
                                        "--save",
                                        "",
                                        "--appendonly",
                                        "no",
                                        "--dir",
                                        m_directory.string(),
                                        "--logfile",
                                        log.string()};
    if (!m_password.empty()) {
        command.insert(command.end(), {"--requirepass", m_password});
    }
    const auto [pid, output] = spawn(command, "/dev/null");
    ::close(output);
    m_pid = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartupTimeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!stillRunning(m_pid)) {
            m_pid = -1;
            return false;
        }
        if (acceptsConnections(m_port) && stillRunning(m_pid)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill();
    return false;
}

ProgramResult runProgram(const std::vector<std::string>& command, std::string_view input)
{
    const std::filesystem::path errors = uniquePath("kovrel-program-errors");
    // A file rather than a pipe: the program may exit without reading it.
    const TemporaryFile inputFile{std::string(input)};
    const auto [pid, output] = spawn(command, errors, -1, inputFile.path());
    ProgramResult result;
    char buffer[4096];
    for (ssize_t length; (length = ::read(output, buffer, sizeof buffer)) > 0;) {
        result.output.append(buffer, static_cast<std::size_t>(length));
    }
    ::close(output);
    result.exitStatus = exitStatusOf(pid);
    result.errors = contentOf(errors);
    std::error_code ignored;
    std::filesystem::remove(errors, ignored);
    return result;
}

pid_t startProgram(const std::vector<std::string>& command)
{
    const auto [pid, output] = spawn(command, "/dev/null");
    ::close(output);
    return pid;
}

TemporaryDirectory::TemporaryDirectory() : m_path(uniquePath("kovrel-test-dir"))
{
    std::filesystem::create_directory(m_path);
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

TemporaryFile::TemporaryFile(const std::string& content) : m_path(uniquePath("kovrel-test-file"))
{
    std::ofstream(m_path, std::ios::binary) << content;
}

TemporaryFile::~TemporaryFile()
{
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
}

} // namespace kovrel::server::test
