// A windowless start of the program for the two-process tests: the start-up
// steps of the frame in their order, then it holds the address book (and the
// mailbox index) until its standard input closes, and shuts down.
#include "shell/startup.h"

#include <iostream>

int main(int argc, char** argv) {
    quorel::TShellSession session;
    if (!session.CheckSingleInstance()) {
        std::cerr << quorel::kAlreadyRunningText << "\n";
        return quorel::kAlreadyRunningExitCode;
    }
    session.ScanCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    std::string error;
    if (!session.CreateFrame(&error)) {
        std::cerr << error << "\n";
        return 3;
    }
    bool ok = false;
    const std::string imported = session.CreateAddressBook(&ok);
    if (!ok) return 4;
    std::cout << "started " << session.Profile() << (imported.empty() ? "" : " " + imported)
              << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
    }
    session.WriteOpenGames(session.LastGames());
    session.DestroyFrame();
    return 0;
}
