// SPDX-License-Identifier: GPL-3.0-or-later
#include "password_input.h"

#include <csignal>
#include <iostream>
#include <stdexcept>

#include <termios.h>
#include <unistd.h>

namespace kovrel::server {
namespace {

// The terminal's settings before the echo went off, for the signal handler.
termios g_saved{};

// A signal that ends the program while the echo is off turns it back on first: the terminal would go on
// hiding what is typed into it.
extern "C" void restoreEchoAndDie(int signal)
{
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Turns the echo of the terminal on standard input off for as long as it lives; Enter still shows.
class EchoOff
{
public:
    EchoOff()
    {
        if (::tcgetattr(STDIN_FILENO, &g_saved) != 0) {
            throw std::runtime_error("cannot read the terminal's settings");
        }
        for (const int signal : kEndingSignals) {
            std::signal(signal, restoreEchoAndDie);
        }
        termios quiet = g_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~EchoOff()
    {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
        for (const int signal : kEndingSignals) {
            std::signal(signal, SIG_DFL);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
};

std::string ask(const std::string& question)
{
    std::cerr << question << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        throw std::runtime_error("no password typed; nothing was changed");
    }
    return answer;
}

} // namespace

std::string readNewPassword(std::string_view nick)
{
    std::string line;
    if (!::isatty(STDIN_FILENO)) {
        std::getline(std::cin, line);
        return line;
    }
    const EchoOff quiet;
    const std::string password = ask("Password for \"" + std::string(nick) + "\": ");
    if (ask("The same password again: ") != password) {
        throw std::runtime_error("the two passwords differ; nothing was changed");
    }
    return password;
}

} // namespace kovrel::server
